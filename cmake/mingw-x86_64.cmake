# The same code as 64-bit Windows, for running the Windows tests where the
# kernel cannot execute 32-bit programs (and so no 32-bit Wine): wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RINGFEED_MINGW_PREFIX x86_64-w64-mingw32)
set(RINGFEED_WINE wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
