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
// A block's magic and CRC, or the end-of-stream magic and combined CRC.
const int kBlockHeadBits = kMagicBits + 32;
const int kTrailerBits = kBlockHeadBits;

// A stream's first kHeaderBits: "BZh" and the level digit ('1'..'9').
inline uint32_t StreamHeader(int level) { return 0x425A6830u + static_cast<uint32_t>(level); }
// The level of a stream that starts with `header` (its first 4 bytes,
// big-endian), or 0 when they are no stream header.
inline int LevelOfHeader(uint32_t header) {
  uint32_t level = header - 0x425A6830u;
  return level >= 1 && level <= 9 ? static_cast<int>(level) : 0;
}

// `count` (0..64) bits starting `bit` bits into `data`.
uint64_t ReadBits(const uint8_t* data, uint64_t bit, int count);

// The combined CRC after one more block.
inline uint32_t CombineCrc(uint32_t combined, uint32_t blockCrc) {
  return ((combined << 1) | (combined >> 31)) ^ blockCrc;
}

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
