# Runs at install time, when the prefix is known: writes the menu entry with the
# absolute path of the installed program and its working folder.
#   LAUNCHER_TEMPLATE  the entry's template
#   LAUNCHER_TREE      the tree's folder under the prefix
#   LAUNCHER_STAGE     where the filled-in entry is made before it is installed
# A package made by cpack can be unpacked anywhere, so no absolute path fits it: it
# carries the tree and the icons, and no entry.
if(CMAKE_INSTALL_PREFIX MATCHES "/_CPack_Packages/")
  return()
endif()
get_filename_component(workdir "${CMAKE_INSTALL_PREFIX}/${LAUNCHER_TREE}/Launcher/bin/release"
                       ABSOLUTE)
# Inside a quoted Exec argument these four characters need a backslash, and the value's
# own escaping doubles every backslash again; "%" is doubled as field codes start with it.
set(exec "${workdir}/launcher")
string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
string(REPLACE "\"" "\\\\\"" exec "${exec}")
string(REPLACE "`" "\\\\`" exec "${exec}")
string(REPLACE "$" "\\\\$" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
set(DESKTOP_EXEC "\"${exec}\"")
string(REPLACE "\\" "\\\\" DESKTOP_PATH "${workdir}")
configure_file("${LAUNCHER_TEMPLATE}" "${LAUNCHER_STAGE}/boardgame-launcher.desktop" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
     FILES "${LAUNCHER_STAGE}/boardgame-launcher.desktop")
