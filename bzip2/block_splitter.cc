#include "bzip2/block_splitter.h"

namespace bzip2 {

size_t BlockSplitter::Take(const uint8_t* data, size_t size, bool* ends) {
  *ends = false;
  for (size_t i = 0; i < size; ++i) {
    uint32_t byte = data[i];
    if (byte == run_ && length_ < 255) {
      ++length_;
      continue;
    }
    // The open run goes into the block as 1..3 bytes, or 4 and a count.
    if (run_ < 256) used_ += length_ < 4 ? length_ : 5;
    run_ = byte;
    length_ = 1;
    if (used_ >= limit_) {
      // This byte opens the next block: start that block afresh, where
      // counting the byte again gives the same state.
      used_ = 0;
      run_ = 256;
      length_ = 0;
      *ends = true;
      return i;
    }
  }
  return size;
}

}  // namespace bzip2
