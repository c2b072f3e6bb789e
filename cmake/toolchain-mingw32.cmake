# Cross-compiles 32-bit Windows programs with Debian's MinGW-w64 (win32 thread
# model) and runs them under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LM_MINGW_TRIPLE i686-w64-mingw32)
set(LM_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
