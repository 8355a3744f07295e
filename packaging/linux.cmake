# What the Linux install and its Debian package carry beside the programs:
# man pages and the changelog compressed (gzip -9n: no name or time stamp, so
# that a rebuild gives the same bytes), the licence as Debian's copyright
# file, and the package's description. Included from the top CMakeLists.txt
# before include(CPack).
find_program(NIVORA_GZIP gzip REQUIRED)
set(nivora_compressed ${CMAKE_BINARY_DIR}/compressed)

# Installs FILE compressed as NAME.gz in DESTINATION.
function(nivora_install_compressed file name destination)
  set(out ${nivora_compressed}/${name})
  add_custom_command(OUTPUT ${out}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${file} ${out}
    COMMAND ${NIVORA_GZIP} -9nf ${out}
    DEPENDS ${file}
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${name} target)
  add_custom_target(nivora_gz_${target} ALL DEPENDS ${out}.gz)
  install(FILES ${out}.gz DESTINATION ${destination})
endfunction()

function(nivora_install_man_page name)
  nivora_install_compressed(${PROJECT_SOURCE_DIR}/man/${name}.1 ${name}.1 ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

set(nivora_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/nivoraglade)
nivora_install_compressed(${PROJECT_SOURCE_DIR}/packaging/debian/changelog changelog ${nivora_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${nivora_doc_dir})

set(CPACK_STRIP_FILES ON)
# The long description; CPack puts CPACK_PACKAGE_DESCRIPTION_SUMMARY before it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "An endless sequence of generated pictures: a coloured background from one of
twenty recipes and, over it, a white six-fold snowflake from one of twenty
iteration rules, revealed row by row and then held for a few seconds.
.
nivoraglade runs under the xscreensaver daemon, which lists it in its settings
dialog with a preview, and under MATE's; on Wayland desktops it covers every
output, started by an idle daemon or, with --idle, by itself (GNOME included);
it also runs in a window of its own. nivora-render makes the same pictures as
PNG files without a window.")
