// Appends bits, most significant first, to a byte vector: how bzip2 streams
// are put together from pieces that do not start on byte boundaries.
#ifndef LM_BZIP2_BIT_WRITER_H_
#define LM_BZIP2_BIT_WRITER_H_

#include <cstdint>
#include <vector>

namespace bzip2 {

class BitWriter {
 public:
  // Complete bytes go to `out` (not owned); up to 7 bits wait in the writer.
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}

  // The low `count` (0..64) bits of `value`.
  void Put(uint64_t value, int count);
  // `count` bits of `source`, starting `bit` bits into it.
  void PutBits(const uint8_t* source, uint64_t bit, uint64_t count);
  // Zero bits up to the next byte boundary.
  void Align();
  // Bits waiting for a complete byte (0..7).
  int pendingBits() const { return pending_; }

 private:
  void PutByte(uint32_t byte);

  std::vector<uint8_t>* out_;
  uint32_t bits_ = 0;
  int pending_ = 0;
};

}  // namespace bzip2

#endif  // LM_BZIP2_BIT_WRITER_H_
