// Finds where libbz2's compressor ends its blocks, without compressing.
//
// libbz2 first run-length codes its input (a run of 4..255 equal bytes
// becomes the 4 bytes and a count byte) into a block of at most
// 100000 * level - 19 bytes; a block ends as soon as adding a run makes it
// reach that size. The run still open at that moment belongs to the next
// block: its one byte so far starts that block. This class follows the same
// arithmetic, so each piece of input it delimits, compressed on its own as a
// whole stream, gives exactly the block libbz2 would have written.
#ifndef LM_BZIP2_BLOCK_SPLITTER_H_
#define LM_BZIP2_BLOCK_SPLITTER_H_

#include <cstddef>
#include <cstdint>

namespace bzip2 {

class BlockSplitter {
 public:
  explicit BlockSplitter(int level) : limit_(100000 * level - 19) {}

  // How many of the `size` bytes belong to the current block. Sets *ends
  // when the block ends there: the next byte starts a new block (pass it
  // again, it has not been counted).
  size_t Take(const uint8_t* data, size_t size, bool* ends);

 private:
  int32_t limit_;
  int32_t used_ = 0;    // bytes in the block so far
  uint32_t run_ = 256;  // the byte of the open run, 256 for none
  int32_t length_ = 0;  // its length so far
};

}  // namespace bzip2

#endif  // LM_BZIP2_BLOCK_SPLITTER_H_
