# 32-bit Windows from Windows 2000 (5.0).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
set(MINGW_WINDOWS_VERSION 5 0)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
