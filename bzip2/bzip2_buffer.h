// One-call bzip2 of a buffer, for tests and small data.
#ifndef LM_BZIP2_BZIP2_BUFFER_H_
#define LM_BZIP2_BZIP2_BUFFER_H_

#include <string>

// `data` as one bzip2 stream, byte for byte what `bzip2 -<level>` writes.
std::string Bzip2CompressBuffer(const std::string& data, int level);

#endif  // LM_BZIP2_BZIP2_BUFFER_H_
