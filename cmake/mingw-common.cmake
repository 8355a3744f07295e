# Shared by the two MinGW-w64 toolchain files; NIVORA_MINGW_TRIPLE is set first.
set(CMAKE_SYSTEM_NAME Windows)
if(NIVORA_MINGW_TRIPLE MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
  set(NIVORA_WINEARCH win32)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(NIVORA_WINEARCH win64)
endif()

# The -posix compilers give std::thread (winpthreads).
set(CMAKE_C_COMPILER ${NIVORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NIVORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NIVORA_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${NIVORA_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${NIVORA_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${NIVORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW DLLs beside the program: libgcc, libstdc++ and winpthreads go in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows programs (the unit tests, the .scr) run under Wine with a prefix of
# their own under the build folder, made once on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix;${NIVORA_WINEARCH}")
