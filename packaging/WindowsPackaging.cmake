# `cpack` in a Windows build folder makes a portable ZIP and an NSIS installer of what the
# install target installs, all in one folder: the programs, the help documents beside them (the
# program looks for them there), the licence and, with the window program, the Qt libraries
# and plugins it loads and Qt's German texts. Qt finds its plugins and translations relative to
# the folder of the program when Qt6Core.dll lies beside it.
if(NOT TARGET Sorvanel)
    install(TARGETS sorvanel-cli RUNTIME DESTINATION .)
endif()
install(FILES "${CMAKE_CURRENT_LIST_DIR}/windows/Licence.txt" DESTINATION .)

if(TARGET Sorvanel)
    install(FILES /usr/share/common-licenses/LGPL-3 RENAME LGPL-3.txt DESTINATION .)
    install(FILES /usr/share/common-licenses/GPL-3 RENAME GPL-3.txt DESTINATION .)
    install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
                  $<TARGET_FILE:Qt6::Network>
            DESTINATION .)
    # The compiler's run-time DLLs that Qt's libraries and plugins import (the programs
    # themselves link it statically); scripts/windows-qt.sh puts them beside Qt's.
    get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
    get_filename_component(qt_bin "${qt_core_dll}" DIRECTORY)
    install(FILES "${qt_bin}/libstdc++-6.dll" "${qt_bin}/libgcc_s_seh-1.dll"
                  "${qt_bin}/libwinpthread-1.dll"
            DESTINATION .)
    install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
    # Qt's own German texts: the cross-built Qt has none, Debian's package of the same version
    # (qt6-translations-l10n) has them.
    set(SORVANEL_QT_TRANSLATIONS /usr/share/qt6/translations
        CACHE PATH "Folder with Qt's translations (qtbase_de.qm)")
    install(FILES "${SORVANEL_QT_TRANSLATIONS}/qtbase_de.qm" DESTINATION translations)
endif()

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Sorvanel)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Delete SysEx and controller events from MIDI files")
set(CPACK_PACKAGE_FILE_NAME "Sorvanel-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Sorvanel)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_LIST_DIR}/windows/Licence.txt")
set(CPACK_STRIP_FILES ON)

# A 64-bit installer, like the programs: it writes the 64-bit view of the registry, and it runs
# where no 32-bit support is installed (as in a 64-bit-only wine).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME Sorvanel)
set(CPACK_NSIS_PACKAGE_NAME Sorvanel)
# The installer keeps its own values (folder, Start-menu folder) under
# Software\Tarnwick\<this key> and the uninstaller deletes that key: never the program's
# settings key (Software\Tarnwick\Sorvanel), which a user's own install would otherwise lose.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Sorvanel Setup")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/resources/sorvanel.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/resources/sorvanel.ico")
if(TARGET Sorvanel)
    # A Start-menu entry for the window program; the uninstaller gets one as well.
    set(CPACK_PACKAGE_EXECUTABLES Sorvanel Sorvanel)
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
    set(CPACK_NSIS_INSTALLED_ICON_NAME Sorvanel.exe)
endif()
include(CPack)
