# Installation and the Debian package (cpack -G DEB): the program, the virtual decks, a
# desktop entry, an icon and the manual page.
include(GNUInstallDirs)

install(TARGETS kestrix kestrix-decksim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kestrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kestrix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Real-time scheduling for the edit timing is the administrator's choice: an example, not a
# setting the package makes.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kestrix-realtime.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrix/examples)

# Debian installs manual pages compressed, with no time stamp in the archive.
set(KESTRIX_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/kestrix.1.gz)
add_custom_command(OUTPUT ${KESTRIX_MAN_PAGE}
                   COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/kestrix.1 > ${KESTRIX_MAN_PAGE}
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/kestrix.1)
add_custom_target(kestrix-man ALL DEPENDS ${KESTRIX_MAN_PAGE})
install(FILES ${KESTRIX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kestrix maintainers <maintainers@kestrix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "edit controller for a player and a recorder tape deck over RS-422")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrix drives a player and a recorder tape deck over RS-422 serial lines (nine-pin protocol) and copies a marked stretch frame-accurately. kestrix-decksim provides two virtual decks for trying it out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The run-time libraries (Qt 6, libstdc++, libc) are found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
