# `cpack` (run in the build folder) makes a Debian package of what the install target installs,
# with the dependencies dpkg-shlibdeps finds for the two executables.
include(GNUInstallDirs)

set(package_folder "${CMAKE_CURRENT_LIST_DIR}")
set(doc_folder ${CMAKE_INSTALL_DATADIR}/doc/sorvanel)

# Man pages and the changelog go in compressed, as Debian packages carry them.
set(compressed)
foreach(source sorvanel-cli.1 Sorvanel.1 changelog)
    set(output "${CMAKE_BINARY_DIR}/packaging/${source}.gz")
    add_custom_command(OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packaging"
        COMMAND gzip -9n -c "${package_folder}/${source}" > "${output}"
        DEPENDS "${package_folder}/${source}"
        VERBATIM)
    list(APPEND compressed "${output}")
endforeach()
add_custom_target(sorvanel_package_files ALL DEPENDS ${compressed})

install(FILES "${CMAKE_BINARY_DIR}/packaging/sorvanel-cli.1.gz"
    "${CMAKE_BINARY_DIR}/packaging/Sorvanel.1.gz"
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The lower-case command's page is the program's.
install(CODE "file(CREATE_LINK Sorvanel.1.gz
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/sorvanel.1.gz\" SYMBOLIC)")
# Bash completes the tool's commands, options and cleaning option names from here.
install(FILES "${package_folder}/bash-completion/sorvanel-cli"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES "${CMAKE_BINARY_DIR}/packaging/changelog.gz" "${package_folder}/copyright"
    DESTINATION ${doc_folder})
install(FILES "${package_folder}/org.tarnwick.Sorvanel.metainfo.xml"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(SORVANEL_PACKAGE_MAINTAINER "Tarnwick <sorvanel@tarnwick.example>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sorvanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "delete SysEx and controller events from MIDI files")
# The synopsis comes from the summary; CPack indents these lines and marks the blank one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Sorvanel cleans Standard MIDI Files in bulk: it lists the MIDI files of a
folder with their song titles and, for the files selected, deletes System
Exclusive and controller events (sparing the ones chosen) and can insert
Reset All Controllers messages, keeping a backup of every file it changes.

The package holds the desktop program and the command-line tool
sorvanel-cli, with German and English help.")
# The package installs under DESTDIR with its final prefix, so the desktop entry written at
# install time names the program where it will be.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SORVANEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's German texts for the standard dialogs and buttons; xdg-open shows the help documents.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
include(CPack)
