#include "bzip2/bzip2_format.h"

namespace bzip2 {

uint64_t ReadBits(const uint8_t* data, uint64_t bit, int count) {
  uint64_t value = 0;
  while (count > 0) {
    int inByte = static_cast<int>(bit & 7);
    int take = 8 - inByte < count ? 8 - inByte : count;
    uint32_t byte = data[bit >> 3];
    value = (value << take) | ((byte >> (8 - inByte - take)) & ((1u << take) - 1));
    bit += static_cast<uint64_t>(take);
    count -= take;
  }
  return value;
}

bool FindSingleBlock(const uint8_t* stream, size_t size, SingleBlock* block) {
  const uint64_t total = static_cast<uint64_t>(size) * 8;
  if (total < kHeaderBits + kTrailerBits) return false;
  for (int pad = 0; pad < 8; ++pad) {
    if (total < kHeaderBits + kTrailerBits + static_cast<uint64_t>(pad)) break;
    uint64_t end = total - static_cast<uint64_t>(pad) - kTrailerBits;
    if (ReadBits(stream, end, kMagicBits) != kEndMagic) continue;
    if (pad > 0 && ReadBits(stream, total - static_cast<uint64_t>(pad), pad) != 0) continue;
    if (end < kHeaderBits + kBlockHeadBits || ReadBits(stream, kHeaderBits, kMagicBits) != kBlockMagic) continue;
    uint32_t crc = static_cast<uint32_t>(ReadBits(stream, kHeaderBits + kMagicBits, 32));
    if (static_cast<uint32_t>(ReadBits(stream, end + kMagicBits, 32)) != crc) continue;
    block->bits = end - kHeaderBits;
    block->crc = crc;
    return true;
  }
  return false;
}

}  // namespace bzip2
