# Run by `cmake --install`: writes the desktop entry with the paths of this installation, so
# that a prefix given only at install time is honoured too. Expects SORVANEL_DESKTOP_SOURCE,
# SORVANEL_BINDIR and SORVANEL_DATADIR (relative to the prefix).
file(READ "${SORVANEL_DESKTOP_SOURCE}" entry)
string(REGEX REPLACE "\nExec=[^\n]*" "\nExec=${CMAKE_INSTALL_PREFIX}/${SORVANEL_BINDIR}/Sorvanel"
       entry "${entry}")
string(APPEND entry "Path=${CMAKE_INSTALL_PREFIX}/${SORVANEL_DATADIR}/sorvanel\n")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${SORVANEL_DATADIR}/applications/org.tarnwick.Sorvanel.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
