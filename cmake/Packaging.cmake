# Installation and the Debian package (`make package`, or `cpack -G DEB` in
# the build folder): the program and the command in /usr/bin, the desktop
# entry, the icon and the man pages.
include(GNUInstallDirs)

install(TARGETS kestrum kestrum-db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrum.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrum.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian wants man pages compressed with gzip -9 -n (no name or time stamp).
find_program(KESTRUM_GZIP gzip REQUIRED)
foreach(page kestrum.1 kestrum-db.1)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${KESTRUM_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/${page} > ${compressed}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${page}
    VERBATIM)
  list(APPEND KESTRUM_MAN_PAGES ${compressed})
endforeach()
add_custom_target(kestrum_man_pages ALL DEPENDS ${KESTRUM_MAN_PAGES})
install(FILES ${KESTRUM_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR "Kestrum")
set(CPACK_PACKAGE_CONTACT "Kestrum developers <kestrum@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "household ledger of income and expenses")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrum keeps a household's books: income and expense entries with their\n"
    "totals, listed, grouped, sorted and filtered, and the surplus over all time,\n"
    "one month or one year. kestrum-db makes, checks, imports into, exports from,\n"
    "backs up and restores the ledger file. Old Access ledgers are converted.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the exact runtime packages (Qt 6 widgets and charts,
# SQLite, libmdb) from the libraries the binaries link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The CJK fonts the captions are drawn with.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-arphic-uming, qt6-translations-l10n")
include(CPack)

# Builds the package, unpacks it and runs the packaged command.
add_test(NAME package_deb COMMAND ${PROJECT_SOURCE_DIR}/tests/package/check-deb.sh ${CMAKE_BINARY_DIR})
set_tests_properties(package_deb PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
