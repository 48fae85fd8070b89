# The program itself: 32-bit Windows, MinGW-w64 (win32 threads: a runtime that
# imports nothing newer than Windows XP), static runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RINGFEED_MINGW_PREFIX i686-w64-mingw32)
set(RINGFEED_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
