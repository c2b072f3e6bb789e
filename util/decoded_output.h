// DecodedOutput: where a decoder puts the bytes it decodes, so that a codec
// that decodes parts of its stream on several threads and one that decodes
// it in order serve the same caller (the payload's files, a byte counter).
//
// The decoded stream arrives as runs: consecutive ranges that start at 0 and
// follow each other without gap. A sequential decoder has one run; one that
// decodes independent blocks has a run per block. The decoder announces the
// runs with Plan before it writes anything, then writes each run's bytes in
// order, and calls Finish once every run is complete.
#ifndef LM_UTIL_DECODED_OUTPUT_H_
#define LM_UTIL_DECODED_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/result.h"

class DecodedOutput {
 public:
  static constexpr uint64_t kUnknownSize = ~uint64_t{0};

  virtual ~DecodedOutput() = default;

  // The runs will start at `runStarts` (ascending, the first 0) and the
  // stream holds `total` bytes, or kUnknownSize when the decoder learns its
  // size only at the end. Called once, on the decoding's own thread, before
  // any Write. A failure (a size the output cannot take) stops the decoding
  // before anything is written.
  virtual Result Plan(const std::vector<uint64_t>& runStarts, uint64_t total) = 0;

  // The next `size` bytes of run `run`. Different runs may be written at the
  // same time from different threads; one run is written by one thread at a
  // time, in order. A failure (bytes beyond the run or the output, a file
  // that cannot be written) stops the decoding.
  virtual Result Write(size_t run, const char* data, size_t size) = 0;

  // Every run was written, and the decoder found its checks right. Fails
  // when a run or the whole holds fewer bytes than the output expects.
  virtual Result Finish() = 0;
};

#endif  // LM_UTIL_DECODED_OUTPUT_H_
