# Cross-compiles the same sources as 64-bit Windows programs, for running the
# Windows tests under 64-bit Wine on machines whose kernel cannot run 32-bit
# code (there 32-bit Wine cannot start). The shipped launcher stays the
# 32-bit build of toolchain-mingw32.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LM_MINGW_TRIPLE x86_64-w64-mingw32)
set(LM_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
