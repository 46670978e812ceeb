# What the two Windows toolchains share; each names its target triple
# (MINGW_TRIPLE) and the Windows version the executable needs
# (MINGW_WINDOWS_VERSION, major and minor), then includes this file.
set(CMAKE_SYSTEM_NAME Windows)
# The win32-threads runtime: the posix one imports functions of Windows XP
# and Vista, which the oldest systems served lack.
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
# The PE header names that version as the system and subsystem version the
# executable needs.
list(GET MINGW_WINDOWS_VERSION 0 major)
list(GET MINGW_WINDOWS_VERSION 1 minor)
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-Wl,--major-os-version,${major},--minor-os-version,${minor},--major-subsystem-version,${major},--minor-subsystem-version,${minor}")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
