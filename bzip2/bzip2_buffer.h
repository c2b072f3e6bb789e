// One-call compression, for tools and tests that need a whole stream in
// memory.
#ifndef LM_BZIP2_BZIP2_BUFFER_H_
#define LM_BZIP2_BZIP2_BUFFER_H_

#include <string>

// `data` as one bzip2 stream at `level` (1..9), byte for byte what
// `bzip2 -<level> -c` writes. Empty when libbz2 fails (out of memory).
std::string Bzip2CompressBuffer(const std::string& data, int level = 9);

#endif  // LM_BZIP2_BZIP2_BUFFER_H_
