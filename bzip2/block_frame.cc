#include "bzip2/block_frame.h"

#include "bzip2/bit_writer.h"
#include "bzip2/bzip2_format.h"

namespace bzip2 {

BlockFrame::BlockFrame(int level, const uint8_t* bits, uint64_t offset, uint64_t count, uint32_t crc)
    : level_(level), bits_(bits), offset_(offset), count_(count), crc_(crc) {}

uint64_t BlockFrame::endBit() const { return kHeaderBits + count_; }

void BlockFrame::Next(std::vector<uint8_t>* out, size_t maxBytes) {
  out->clear();
  if (done_) return;
  BitWriter writer(out);
  if (!started_) {
    started_ = true;
    writer.Put(StreamHeader(level_), kHeaderBits);
  }
  // Whole bytes until the last piece, so every piece starts on a byte.
  uint64_t remaining = count_ - taken_;
  uint64_t budget = static_cast<uint64_t>(maxBytes) * 8;
  uint64_t take = remaining <= budget ? remaining : budget;
  writer.PutBits(bits_, offset_ + taken_, take);
  taken_ += take;
  if (taken_ == count_) {
    writer.Put(kEndMagic, kMagicBits);
    writer.Put(crc_, 32);
    writer.Align();
    done_ = true;
  }
}

std::vector<uint8_t> BlockFrame::Whole(int level, const uint8_t* bits, uint64_t offset, uint64_t count, uint32_t crc) {
  BlockFrame frame(level, bits, offset, count, crc);
  std::vector<uint8_t> whole;
  std::vector<uint8_t> piece;
  while (!frame.done()) {
    frame.Next(&piece, 1 << 20);
    whole.insert(whole.end(), piece.begin(), piece.end());
  }
  return whole;
}

}  // namespace bzip2
