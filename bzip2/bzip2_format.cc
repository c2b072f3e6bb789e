#include "bzip2_format.h"

namespace bzip2 {

namespace {

const uint32_t kPolynomial = 0x04C11DB7u;

struct CrcTable {
  uint32_t entries[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t reg = i << 24;
      for (int bit = 0; bit < 8; ++bit) reg = (reg & 0x80000000u) ? (reg << 1) ^ kPolynomial : reg << 1;
      entries[i] = reg;
    }
  }
};

const CrcTable& Table() {
  static const CrcTable table;
  return table;
}

}  // namespace

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

uint32_t CrcRegister(uint32_t reg, const uint8_t* data, size_t size) {
  const uint32_t* table = Table().entries;
  for (size_t i = 0; i < size; ++i) reg = (reg << 8) ^ table[(reg >> 24) ^ data[i]];
  return reg;
}

void ForgeCrc(uint32_t reg, uint32_t wanted, uint8_t bytes[4]) {
  // Four bytes shift 32 bits through the register: after them it holds
  // Shift32(reg ^ x). Run the wanted register back 32 steps to find x.
  uint32_t target = ~wanted;
  for (int step = 0; step < 32; ++step) {
    target = (target & 1u) ? ((target ^ kPolynomial) >> 1) | 0x80000000u : target >> 1;
  }
  uint32_t x = reg ^ target;
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(x >> (24 - 8 * i));
}

bool FindSingleBlock(const uint8_t* stream, size_t size, SingleBlock* block) {
  const uint64_t total = static_cast<uint64_t>(size) * 8;
  if (total < kHeaderBits + kTrailerBits) return false;
  for (int pad = 0; pad < 8; ++pad) {
    if (total < kHeaderBits + kTrailerBits + static_cast<uint64_t>(pad)) break;
    uint64_t end = total - static_cast<uint64_t>(pad) - kTrailerBits;
    if (ReadBits(stream, end, kMagicBits) != kEndMagic) continue;
    if (pad > 0 && ReadBits(stream, total - static_cast<uint64_t>(pad), pad) != 0) continue;
    if (end < kHeaderBits + kMagicBits + 32 || ReadBits(stream, kHeaderBits, kMagicBits) != kBlockMagic) continue;
    uint32_t crc = static_cast<uint32_t>(ReadBits(stream, kHeaderBits + kMagicBits, 32));
    if (static_cast<uint32_t>(ReadBits(stream, end + kMagicBits, 32)) != crc) continue;
    block->bits = end - kHeaderBits;
    block->crc = crc;
    return true;
  }
  return false;
}

}  // namespace bzip2
