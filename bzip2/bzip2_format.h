// The parts of the bzip2 stream format that the parallel reader and writer
// handle themselves: the two 48-bit magics, bit access (bzip2 packs bits most
// significant first), the checksum and how block checksums combine.
//
// A stream is "BZh" and a level digit, then blocks (each: the block magic,
// the block's 32-bit CRC, its coded data), then the end-of-stream magic, the
// combined CRC and zero bits up to the next byte.
#ifndef LM_BZIP2_BZIP2_FORMAT_H_
#define LM_BZIP2_BZIP2_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace bzip2 {

const uint64_t kBlockMagic = 0x314159265359ull;
const uint64_t kEndMagic = 0x177245385090ull;
const int kMagicBits = 48;
const int kHeaderBits = 32;
// End-of-stream magic and combined CRC.
const int kTrailerBits = kMagicBits + 32;

// `count` (0..64) bits starting `bit` bits into `data`.
uint64_t ReadBits(const uint8_t* data, uint64_t bit, int count);

// The combined CRC after one more block.
inline uint32_t CombineCrc(uint32_t combined, uint32_t blockCrc) {
  return ((combined << 1) | (combined >> 31)) ^ blockCrc;
}

// bzip2's CRC-32 (polynomial 0x04C11DB7, most significant bit first): the
// register before the final inversion, so that it can be continued.
uint32_t CrcRegister(uint32_t reg, const uint8_t* data, size_t size);
const uint32_t kCrcStart = 0xFFFFFFFFu;

// The four bytes that, appended to data whose CRC register is `reg`, give
// the final CRC `wanted`.
void ForgeCrc(uint32_t reg, uint32_t wanted, uint8_t bytes[4]);

// Where the one block of a one-block stream lies (as libbz2 writes it: a
// header, one block, the trailer with combined CRC equal to the block CRC,
// zero padding). Returns false when `stream` is not such a stream.
struct SingleBlock {
  uint64_t bits;  // the block's length in bits; it starts at kHeaderBits
  uint32_t crc;
};
bool FindSingleBlock(const uint8_t* stream, size_t size, SingleBlock* block);

}  // namespace bzip2

#endif  // LM_BZIP2_BZIP2_FORMAT_H_
