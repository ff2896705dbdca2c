# Compiler and linker settings for every target of the build.
include(CheckCXXSourceCompiles)
include(CheckPIESupported)

# Strict warnings for our own targets: each links qd_warnings privately.
add_library(qd_warnings INTERFACE)
target_compile_options(qd_warnings INTERFACE
  -Wall -Wextra -Werror -Wformat=2 -Wnon-virtual-dtor -Woverloaded-virtual
  -Wshadow -Wold-style-cast -Wcast-qual -Wnull-dereference -Wimplicit-fallthrough)

if(QD_SANITIZE AND QD_BUILD_FUZZ)
  message(FATAL_ERROR "QD_SANITIZE and QD_BUILD_FUZZ are separate builds: the fuzz build has its own sanitizers")
endif()

if(QD_SANITIZE)
  # GCC's flow analysis gives false "maybe uninitialized" reports on std::variant
  # once the sanitizers instrument the code.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
                      -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QD_BUILD_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # Coverage instrumentation and the sanitizers in every library, so that the
  # fuzz targets (fuzz/) link the library targets as they are.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Hardening of a desktop program that runs other programs: stack protector,
# fortified libc calls, position-independent executables, read-only relocations
# bound at start (full RELRO).
add_compile_options(-fstack-protector-strong)
check_pie_supported(OUTPUT_VARIABLE qd_pie_message LANGUAGES C CXX)
if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
  message(WARNING "The linker cannot make position-independent executables: ${qd_pie_message}")
endif()
add_link_options(LINKER:-z,relro,-z,now)

# _FORTIFY_SOURCE needs optimisation (glibc warns without it, which -Werror
# turns into an error) and only confuses the sanitizers, so it is set for the
# optimised configurations of the plain build. Level 3 (object sizes known only
# at run time too) where the compiler and libc support it, else level 2.
if(NOT QD_SANITIZE AND NOT QD_BUILD_FUZZ)
  set(CMAKE_REQUIRED_FLAGS "-O2 -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3")
  check_cxx_source_compiles([[
    #include <cstring>
    #if !defined(__USE_FORTIFY_LEVEL) || __USE_FORTIFY_LEVEL < 3
    #error level 3 not supported
    #endif
    int main() { return 0; }]] QD_HAVE_FORTIFY_SOURCE_3)
  unset(CMAKE_REQUIRED_FLAGS)
  if(QD_HAVE_FORTIFY_SOURCE_3)
    set(qd_fortify_level 3)
  else()
    set(qd_fortify_level 2)
  endif()
  # As options, in this order: a toolchain that defines it by default is overridden.
  set(qd_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  add_compile_options("$<${qd_optimised}:-U_FORTIFY_SOURCE>" "$<${qd_optimised}:-D_FORTIFY_SOURCE=${qd_fortify_level}>")
endif()

# ccache with paths taken relative to the source tree, so a fresh clone in
# another folder (CI) reuses what an earlier build compiled (the build folder
# is left out of the hash, so debug information names the folder of the build
# that filled the cache), and with the sloppiness that lets it cache
# precompiled-header builds and files checked out moments ago.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(qd_ccache ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${qd_ccache})
  set(CMAKE_C_COMPILER_LAUNCHER ${qd_ccache})
endif()

# qd_precompile_headers(<target> [<header>...]): precompiles the given headers
# (angle brackets for system and library headers, "path" for our own) for the
# target, unless QD_PRECOMPILED_HEADERS is off.
function(qd_precompile_headers target)
  if(QD_PRECOMPILED_HEADERS AND ARGN)
    target_precompile_headers(${target} PRIVATE ${ARGN})
  endif()
endfunction()
