# Where "cmake --install" puts Quandrel (FHS): the programs in bin, the one shared
# library of the project in a private lib folder the programs find relative to
# themselves, the icon and desktop entry where desktops look for them, the manual
# in the documentation folder (where Help finds it).
include(GNUInstallDirs)

set(QD_PROGRAMS qd qdctl qdmsg qd_dbase klvback killproc qdftp httpget)
set(QD_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quandrel)
file(RELATIVE_PATH qd_bin_to_lib /qd/${CMAKE_INSTALL_BINDIR} /qd/${QD_PRIVATE_LIBDIR})
set_target_properties(${QD_PROGRAMS} PROPERTIES INSTALL_RPATH "$ORIGIN/${qd_bin_to_lib}")

install(TARGETS ${QD_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qd_files LIBRARY DESTINATION ${QD_PRIVATE_LIBDIR} NAMELINK_SKIP)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/icons/quandrel.svg
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/apps/qd/quandrel.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.md ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quandrel)
