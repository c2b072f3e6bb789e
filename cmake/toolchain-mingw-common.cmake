# The part of the MinGW-w64 toolchain files that both share: the including
# file sets LM_MINGW_TRIPLE (i686-w64-mingw32, x86_64-w64-mingw32) and
# LM_WINE_ARCH (win32, win64), under which Wine runs the test programs.
#
# The compilers of the win32 thread model: their libstdc++ and libgcc need
# no winpthreads, which the posix model links into every program (about
# 32 KB of the launcher, kept alive by the runtime's own references). The
# port gives the project its threads and locks (platform.h); GCC 12's
# libstdc++ of this model has no std::thread, std::mutex or
# std::condition_variable, and nothing here may use them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LM_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${LM_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${LM_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR env LM_WINEARCH=${LM_WINE_ARCH} ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
