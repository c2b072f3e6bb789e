// Why reading a bzip2 stream failed.
#ifndef LM_BZIP2_BZIP2_FAILURE_H_
#define LM_BZIP2_BZIP2_FAILURE_H_

#include "util/result.h"

// Bzip2FailureText's table follows this order.
enum class Bzip2Failure {
  kNone,
  kCorrupt,       // a bad header, block, checksum or combined checksum
  kTruncated,     // the data ends before the stream does
  kTrailingData,  // bytes follow the end of the stream
  kIo,            // the file cannot be opened or read, or is shorter than the range
  kNoMemory,
};

// A short English description ("the compressed data is corrupt", ...).
const char* Bzip2FailureText(Bzip2Failure failure);

// The failure as the layers above report it: success for kNone, otherwise
// its kind (kCorruptData for damaged, truncated or trailing data;
// kUnreadable; kNoMemory) with its description.
Result Bzip2Result(Bzip2Failure failure);

#endif  // LM_BZIP2_BZIP2_FAILURE_H_
