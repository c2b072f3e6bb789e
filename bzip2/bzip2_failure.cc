#include "bzip2_failure.h"

const char* Bzip2FailureText(Bzip2Failure failure) {
  switch (failure) {
    case Bzip2Failure::kNone:
      return "no failure";
    case Bzip2Failure::kCorrupt:
      return "the compressed data is corrupt";
    case Bzip2Failure::kTruncated:
      return "the compressed data ends before the end of its bzip2 stream";
    case Bzip2Failure::kTrailingData:
      return "data follows the end of the bzip2 stream";
    case Bzip2Failure::kIo:
      return "the compressed data cannot be read";
    case Bzip2Failure::kNoMemory:
      return "not enough memory to decompress";
  }
  return "unknown failure";
}
