# libbz2: the system library natively; on Windows a static library compiled
# from Debian's bzip2 source package, which scripts/setup.sh unpacks into
# third_party/ (never committed).
if(WIN32)
  file(GLOB LM_BZIP2_DIRS LIST_DIRECTORIES true "${PROJECT_SOURCE_DIR}/third_party/bzip2-*")
  list(FILTER LM_BZIP2_DIRS EXCLUDE REGEX "\\.(tar|dsc|gz|bz2|xz)")
  list(GET LM_BZIP2_DIRS 0 LM_BZIP2_DIR)
  if(NOT EXISTS "${LM_BZIP2_DIR}/bzlib.c")
    message(FATAL_ERROR "bzip2 source not found under third_party/: run scripts/setup.sh")
  endif()
  add_library(lm_bz2 STATIC
    ${LM_BZIP2_DIR}/blocksort.c ${LM_BZIP2_DIR}/huffman.c ${LM_BZIP2_DIR}/crctable.c
    ${LM_BZIP2_DIR}/randtable.c ${LM_BZIP2_DIR}/compress.c ${LM_BZIP2_DIR}/decompress.c
    ${LM_BZIP2_DIR}/bzlib.c)
  target_include_directories(lm_bz2 PUBLIC ${LM_BZIP2_DIR})
  # libbz2 is C: no exception passes through it (its allocator callbacks are
  # noexcept), so its frames need no unwind tables, which MinGW's linker
  # would keep for every function.
  target_compile_options(lm_bz2 PRIVATE -w -fno-asynchronous-unwind-tables -fno-unwind-tables)
  # Its messages (fprintf to stderr: %d, %x, %s and %f with widths) go
  # through msvcrt's printf. MinGW's headers pick MinGW's own formatter (for
  # ll and z, which this code does not use) for C99 and later unless told
  # otherwise; it would add some 25 KB to the launcher.
  target_compile_definitions(lm_bz2 PRIVATE __USE_MINGW_ANSI_STDIO=0)
  add_library(Lm::BZip2 ALIAS lm_bz2)
else()
  find_package(BZip2 1.0.8 REQUIRED)
  add_library(Lm::BZip2 ALIAS BZip2::BZip2)
endif()
