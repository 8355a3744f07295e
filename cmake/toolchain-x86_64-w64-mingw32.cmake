# 64-bit Windows with MinGW-w64's posix-thread compilers, run under Wine.
set(NIVORA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
