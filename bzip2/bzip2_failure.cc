#include "bzip2/bzip2_failure.h"

#include <cstddef>

namespace {

// In the order of Bzip2Failure.
const char* const kTexts[] = {
    "no failure",
    "the compressed data is corrupt",
    "the compressed data ends before the end of its bzip2 stream",
    "data follows the end of the bzip2 stream",
    "the compressed data cannot be read",
    "not enough memory to decompress",
};

}  // namespace

const char* Bzip2FailureText(Bzip2Failure failure) {
  size_t index = static_cast<size_t>(failure);
  return index < sizeof(kTexts) / sizeof(kTexts[0]) ? kTexts[index] : "unknown failure";
}

Result Bzip2Result(Bzip2Failure failure) {
  switch (failure) {
    case Bzip2Failure::kNone:
      return Result();
    case Bzip2Failure::kIo:
      return Result::Fail(Outcome::kUnreadable, Bzip2FailureText(failure));
    case Bzip2Failure::kNoMemory:
      return Result::Fail(Outcome::kNoMemory, Bzip2FailureText(failure));
    default:
      return Result::Fail(Outcome::kCorruptData, Bzip2FailureText(failure));
  }
}
