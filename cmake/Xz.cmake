# liblzma: the system library natively; on Windows, and in the fuzz build,
# static libraries compiled from Debian's xz-utils source package, which
# scripts/setup.sh unpacks into third_party/ (never committed). The fuzz
# build compiles it with the fuzzer's coverage and sanitizers, so that the
# fuzz targets explore liblzma's decoder with the settings we use, not only
# our code around an opaque library.
#
# Lm::Lzma is what xz/ links. On Windows it is one of two builds of the same
# sources, chosen by the program that links it: the launcher (a target with
# the property LM_LZMA_DECODERS_ONLY set) gets a liblzma that only decodes
# LZMA2 with the x86 branch filter and checks CRC-32 and CRC-64, built for
# size; every other program (lmpack, the tests) gets one that also encodes
# them. Natively both are the system's, except in the fuzz build.
if(WIN32 OR LM_FUZZ)
  file(GLOB LM_XZ_DIRS LIST_DIRECTORIES true "${PROJECT_SOURCE_DIR}/third_party/xz-utils-*")
  list(FILTER LM_XZ_DIRS EXCLUDE REGEX "\\.(tar|dsc|gz|bz2|xz)")
  list(GET LM_XZ_DIRS 0 LM_XZ_DIR)
  set(LM_LZMA ${LM_XZ_DIR}/src/liblzma)
  if(NOT EXISTS "${LM_LZMA}/api/lzma.h")
    message(FATAL_ERROR "xz-utils source not found under third_party/: run scripts/setup.sh")
  endif()
  set(LM_LZMA_DECODER_SOURCES
    common/common.c common/block_util.c common/block_decoder.c common/block_header_decoder.c
    common/filter_common.c common/filter_decoder.c common/filter_flags_decoder.c common/index.c
    common/index_decoder.c common/stream_flags_common.c common/stream_flags_decoder.c
    common/vli_decoder.c common/vli_size.c
    check/check.c check/crc32_small.c check/crc64_small.c
    lz/lz_decoder.c lzma/lzma_decoder.c lzma/lzma2_decoder.c
    simple/simple_coder.c simple/simple_decoder.c simple/x86.c)
  set(LM_LZMA_ENCODER_SOURCES
    common/block_encoder.c common/block_header_encoder.c common/filter_encoder.c
    common/filter_flags_encoder.c common/index_encoder.c common/stream_flags_encoder.c
    common/vli_encoder.c common/block_buffer_encoder.c
    lz/lz_encoder.c lz/lz_encoder_mf.c
    lzma/lzma_encoder.c lzma/lzma_encoder_optimum_fast.c lzma/lzma_encoder_optimum_normal.c
    lzma/lzma_encoder_presets.c lzma/lzma2_encoder.c
    rangecoder/price_table.c simple/simple_encoder.c)
  # What the package's configure would find on MinGW-w64, and the choices:
  # the small variant (CRC tables computed when the program starts, in a
  # constructor as configure picks where GCC has the attribute; no unrolled
  # code), Windows Vista threads from KERNEL32 (no winpthreads). None of the
  # coders compiled here starts a thread, so the fuzz build has none.
  set(LM_LZMA_DEFINITIONS
    HAVE_STDBOOL_H HAVE__BOOL HAVE_STDINT_H HAVE_INTTYPES_H HAVE_VISIBILITY=0 HAVE_SMALL
    HAVE_FUNC_ATTRIBUTE_CONSTRUCTOR TUKLIB_SYMBOL_PREFIX=lzma_ LZMA_API_STATIC
    HAVE_CHECK_CRC32 HAVE_CHECK_CRC64 HAVE_DECODERS HAVE_DECODER_LZMA2 HAVE_DECODER_X86)
  if(WIN32)
    list(APPEND LM_LZMA_DEFINITIONS MYTHREAD_VISTA)
  endif()
  set(LM_LZMA_INCLUDES ${LM_LZMA}/api ${LM_LZMA}/common ${LM_LZMA}/check ${LM_LZMA}/lz
    ${LM_LZMA}/rangecoder ${LM_LZMA}/lzma ${LM_LZMA}/simple ${LM_LZMA}/delta ${LM_XZ_DIR}/src/common)
  function(lm_add_liblzma name)
    list(TRANSFORM ARGN PREPEND ${LM_LZMA}/)
    add_library(${name} STATIC ${ARGN})
    target_include_directories(${name} PRIVATE ${LM_LZMA_INCLUDES})
    target_include_directories(${name} PUBLIC ${LM_LZMA}/api)
    target_compile_definitions(${name} PRIVATE ${LM_LZMA_DEFINITIONS} PUBLIC LZMA_API_STATIC)
    # C, like libbz2: no exception passes through it, so its frames need no
    # unwind tables, which MinGW's linker would keep for every function.
    target_compile_options(${name} PRIVATE -w)
    if(WIN32)
      target_compile_options(${name} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
    endif()
  endfunction()
  lm_add_liblzma(lm_lzma_decoders ${LM_LZMA_DECODER_SOURCES})
  lm_add_liblzma(lm_lzma ${LM_LZMA_DECODER_SOURCES} ${LM_LZMA_ENCODER_SOURCES})
  target_compile_definitions(lm_lzma PRIVATE HAVE_ENCODERS HAVE_ENCODER_LZMA2 HAVE_ENCODER_X86 HAVE_MF_HC3 HAVE_MF_HC4
                                             HAVE_MF_BT2 HAVE_MF_BT3 HAVE_MF_BT4)
  add_library(lm_lzma_choice INTERFACE)
  target_link_libraries(lm_lzma_choice INTERFACE
    $<IF:$<BOOL:$<TARGET_PROPERTY:LM_LZMA_DECODERS_ONLY>>,lm_lzma_decoders,lm_lzma>)
  target_include_directories(lm_lzma_choice INTERFACE ${LM_LZMA}/api)
  target_compile_definitions(lm_lzma_choice INTERFACE LZMA_API_STATIC)
  add_library(Lm::Lzma ALIAS lm_lzma_choice)
else()
  find_package(LibLZMA 5.2 REQUIRED)
  add_library(Lm::Lzma ALIAS LibLZMA::LibLZMA)
endif()
