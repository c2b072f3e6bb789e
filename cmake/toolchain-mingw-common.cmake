# The part of the MinGW-w64 toolchain files that both share: the including
# file sets LM_MINGW_TRIPLE (i686-w64-mingw32, x86_64-w64-mingw32) and
# LM_WINE_ARCH (win32, win64), under which Wine runs the test programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LM_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR env LM_WINEARCH=${LM_WINE_ARCH} ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
