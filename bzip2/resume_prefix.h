// Makes libbz2 continue a stream in the middle: a stream header and one
// small block (the "lead-in") whose CRC equals the combined CRC of the blocks
// before the resume point and whose length in bits lines the rest up with
// the original bytes. Fed this prefix and then the original bytes from the
// resume point on, libbz2 decodes, checks and fails exactly as it would have
// from the start, after first producing the lead-in's bytes.
#ifndef LM_BZIP2_RESUME_PREFIX_H_
#define LM_BZIP2_RESUME_PREFIX_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bzip2 {

class ResumePrefix {
 public:
  // The prefix for resuming at a block that starts `alignment` (0..7) bits
  // into byte `byte` of the original stream, of the given level, after
  // blocks whose combined CRC is `combined`. With a non-zero alignment the
  // prefix ends with that byte's last 8 - alignment bits, so the original
  // bytes follow from the next byte. `*leadIn` is the number of decoded
  // bytes the lead-in block produces. False when no lead-in can be built.
  static bool Build(int level, uint32_t combined, int alignment, uint8_t byte, std::vector<uint8_t>* prefix,
                    size_t* leadIn);
};

}  // namespace bzip2

#endif  // LM_BZIP2_RESUME_PREFIX_H_
