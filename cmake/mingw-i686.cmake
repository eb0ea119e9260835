# 32-bit Windows, run under wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TRIPLE i686-w64-mingw32)
set(VELTRA_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
