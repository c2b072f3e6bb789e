// Where lmpack writes a setup's compressed data, whichever the codec: a
// file, and the most it may take, so that the whole setup stays within
// what the format's 32-bit offsets and the launcher's reader hold.
#ifndef LM_TOOLS_COMPRESSED_OUTPUT_H_
#define LM_TOOLS_COMPRESSED_OUTPUT_H_

#include <cstddef>
#include <cstdint>

#include "file/lm_file_stream.h"
#include "util/result.h"

class CompressedOutput {
 public:
  // `out` (not owned) takes at most `limit` bytes.
  CompressedOutput(LmFileStream* out, uint64_t limit) : out_(out), limit_(limit) {}

  // kBadInput, writing nothing, when the data would reach the limit;
  // kWriteFault when the file cannot be written.
  Result Write(const char* data, size_t size);
  uint64_t written() const { return written_; }

 private:
  LmFileStream* out_;
  uint64_t limit_;
  uint64_t written_ = 0;
};

#endif  // LM_TOOLS_COMPRESSED_OUTPUT_H_
