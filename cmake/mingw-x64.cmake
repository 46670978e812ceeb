# 64-bit Windows from XP x64 and Server 2003 x64 (5.2), the first x64 systems.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(MINGW_WINDOWS_VERSION 5 2)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
