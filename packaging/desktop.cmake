# What makes nivoraglade at home on a Linux desktop beside the daemon's copy
# in NIVORA_SAVER_DIR: a link on PATH (idle daemons and users run it by
# name), the entry MATE-style daemons list savers by, the entry whose name is
# the app id of its Wayland windows (so that GNOME names them), and the icon
# that entry names, drawn by nivora-render at build time. Included from the
# top CMakeLists.txt once the saver's install rule is known.

# /usr/bin/nivoraglade -> ../libexec/xscreensaver/nivoraglade: relative, so
# that it holds in a package's staging folder as on the installed system.
file(RELATIVE_PATH nivora_link_target /${CMAKE_INSTALL_BINDIR} /${NIVORA_SAVER_DIR}/nivoraglade)
file(CREATE_LINK ${nivora_link_target} ${CMAKE_BINARY_DIR}/nivoraglade-on-path SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/nivoraglade-on-path DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME nivoraglade)

set(nivora_desktop_dir ${PROJECT_SOURCE_DIR}/resources/linux)
install(FILES ${nivora_desktop_dir}/nivoraglade-screensaver.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers
        RENAME nivoraglade.desktop)
install(FILES ${nivora_desktop_dir}/nivoraglade.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon that entry names.
include(${PROJECT_SOURCE_DIR}/cmake/icon.cmake)
set(nivora_icon_png ${CMAKE_BINARY_DIR}/resources/nivoraglade-256.png)
nivora_draw_icon(${nivora_icon_png})
add_custom_target(nivora_linux_icon ALL DEPENDS ${nivora_icon_png})
install(FILES ${nivora_icon_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME nivoraglade.png)
