# Cross-compiles the same sources as 64-bit Windows programs, for running the
# Windows tests under 64-bit Wine on machines whose kernel cannot run 32-bit
# code (there 32-bit Wine cannot start). The shipped launcher stays the
# 32-bit build of toolchain-mingw32.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(LM_WINE_ARCH win64)
set(CMAKE_CROSSCOMPILING_EMULATOR env LM_WINEARCH=win64 ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
