// Presents a run of bits from a bzip2 stream, believed to be one block, as a
// stream of its own: "BZh" and the level digit, the bits, the end-of-stream
// magic, a combined CRC equal to the block's own CRC, zero bits up to a byte.
// Produced piece by piece, so a block is never copied whole.
#ifndef LM_BZIP2_BLOCK_FRAME_H_
#define LM_BZIP2_BLOCK_FRAME_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bzip2 {

class BlockFrame {
 public:
  // The block is `count` bits of `bits` (not owned, must outlive the frame)
  // from bit `offset` on; `crc` is the CRC its header states.
  BlockFrame(int level, const uint8_t* bits, uint64_t offset, uint64_t count, uint32_t crc);

  // Replaces *out with the next bytes of the frame (about `maxBytes`).
  void Next(std::vector<uint8_t>* out, size_t maxBytes);
  bool done() const { return done_; }
  // Where the appended end-of-stream magic starts in the frame, in bits.
  uint64_t endBit() const;

  // The whole frame at once.
  static std::vector<uint8_t> Whole(int level, const uint8_t* bits, uint64_t offset, uint64_t count, uint32_t crc);

 private:
  int level_;
  const uint8_t* bits_;
  uint64_t offset_;
  uint64_t count_;
  uint32_t crc_;
  uint64_t taken_ = 0;
  bool started_ = false;
  bool done_ = false;
};

}  // namespace bzip2

#endif  // LM_BZIP2_BLOCK_FRAME_H_
