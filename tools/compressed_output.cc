#include "tools/compressed_output.h"

Result CompressedOutput::Write(const char* data, size_t size) {
  if (size >= limit_ - written_) return Result::Fail(Outcome::kBadInput, "the setup would reach 2 GiB");
  for (size_t done = 0; done < size;) {
    const size_t piece = size - done < (1u << 30) ? size - done : (1u << 30);
    if (out_->Write(data + done, static_cast<int>(piece)) != static_cast<int>(piece)) {
      return Result::Fail(Outcome::kWriteFault, "cannot write the compressed data");
    }
    done += piece;
  }
  written_ += size;
  return Result();
}
