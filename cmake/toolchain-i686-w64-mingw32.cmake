# 32-bit Windows, the saver's own target, built with MinGW-w64's posix-thread
# compilers and run under Wine.
set(NIVORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
