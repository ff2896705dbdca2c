# Strict warnings for our own targets: each links qd_warnings privately.
add_library(qd_warnings INTERFACE)
target_compile_options(qd_warnings INTERFACE
  -Wall -Wextra -Werror -Wformat=2 -Wnon-virtual-dtor -Woverloaded-virtual
  -Wshadow -Wold-style-cast -Wcast-qual -Wnull-dereference -Wimplicit-fallthrough)
target_compile_definitions(qd_warnings INTERFACE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)

if(QD_SANITIZE)
  # GCC's flow analysis gives false "maybe uninitialized" reports on std::variant
  # once the sanitizers instrument the code.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
                      -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=address,undefined)
endif()

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()
