# The program's picture as an icon, the same on every platform and every
# build: nivora-render's preview of rule 1 over background 14 with seed 1, at
# 256 x 256. Rule 1 is a bold six-armed flake that still reads at 16 px;
# background 14 with seed 1 is a calm blue.
#
# nivora-render must run on the building machine. A native build uses its own;
# a cross build the one given in NIVORA_RENDER (or NIVORA_REFERENCE_RENDER,
# the x86 program a cross build's pictures are compared with), else one built
# in host-tools.
include_guard(GLOBAL)
set(NIVORA_RENDER "" CACHE FILEPATH "A native nivora-render that draws the icon in a cross build (empty: build one in host-tools)")

if(NOT CMAKE_CROSSCOMPILING AND TARGET nivora-render)
  set(program $<TARGET_FILE:nivora-render>)
  set(depends nivora-render)
elseif(NIVORA_RENDER OR NIVORA_REFERENCE_RENDER)
  set(program ${NIVORA_RENDER})
  if(NOT NIVORA_RENDER)
    set(program ${NIVORA_REFERENCE_RENDER})
  endif()
  set(depends ${program})
else()
  include(ExternalProject)
  set(program ${CMAKE_BINARY_DIR}/host-tools/src/tools/nivora-render)
  ExternalProject_Add(nivora_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DNIVORA_BUILD_TESTS=OFF -DNIVORA_BUILD_X11=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target nivora-render
    BUILD_BYPRODUCTS ${program}
    BUILD_ALWAYS TRUE  # the host build itself knows what changed
    INSTALL_COMMAND "")
  set(depends nivora_host_tools ${program})
endif()
# Seen by every folder of the build (the Windows setup's 64-bit program too).
set(NIVORA_RENDER_PROGRAM ${program} CACHE INTERNAL "The nivora-render that draws the icon")
set(NIVORA_RENDER_DEPENDS ${depends} CACHE INTERNAL "What the icon's drawing waits for")

# Draws the icon into PNG (a 256 x 256 PNG file) at build time.
function(nivora_draw_icon png)
  get_filename_component(dir ${png} DIRECTORY)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${NIVORA_RENDER_PROGRAM} --size 256x256 --mode preview --algorithm 1 --background 14 --seed 1 --out ${png}
    DEPENDS ${NIVORA_RENDER_DEPENDS}
    COMMENT "Drawing the icon ${png}"
    VERBATIM)
endfunction()
