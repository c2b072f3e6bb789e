#include "xz/xz_failure.h"

#include <lzma.h>

namespace xz {

Result Corrupt(const std::string& what) { return Result::Fail(Outcome::kCorruptData, what); }

Result Unsupported(const std::string& what) { return Result::Fail(Outcome::kBadInput, "unsupported xz " + what); }

Result Unreadable() { return Result::Fail(Outcome::kUnreadable, "the compressed data cannot be read"); }

Result NoMemory() { return Result::Fail(Outcome::kNoMemory, "out of memory"); }

Result LzmaFailure(int ret, const std::string& doing) {
  switch (ret) {
    case LZMA_MEM_ERROR:
      return NoMemory();
    case LZMA_OPTIONS_ERROR:
      return Unsupported("options " + doing);
    case LZMA_BUF_ERROR:
      return Corrupt("the xz data ends early " + doing);
    default:
      return Corrupt("the xz data is damaged " + doing);
  }
}

}  // namespace xz
