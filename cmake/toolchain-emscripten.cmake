# WebAssembly with Debian's Emscripten (3.1.6, clang 14). The engine computes
# its numbers in the integer extended type there (wasm has no x87 unit), so a
# seed gives the same bits as on x86. Programs (the tests) run under Node.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Debian's emcc finds acorn, which its JavaScript optimiser needs at link
# time, only through NODE_PATH.
set(ENV{NODE_PATH} /usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_C_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)

# Node 20's fetch of a file path fails: compile the module synchronously.
set(NIVORA_NODE_LINK_OPTIONS -sWASM_ASYNC_COMPILATION=0 -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1
    CACHE STRING "Link options of the programs run under Node")
set(CMAKE_CROSSCOMPILING_EMULATOR node CACHE STRING "")

# Binaryen's -O3 at link time took 100 s and more for each program, for code
# no faster than -O2's (the objects are still compiled at -O3).
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT -O2)
