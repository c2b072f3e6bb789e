#include "resume_prefix.h"

#include "bit_writer.h"
#include "bzip2_buffer.h"
#include "bzip2_format.h"

namespace bzip2 {

namespace {

// Lead-in contents tried: `length` filler bytes, then four bytes that set
// the CRC. Different lengths give blocks of different lengths in bits.
const int kMaxFiller = 200;

std::vector<uint8_t> LeadInContent(int length, uint32_t crc) {
  std::vector<uint8_t> content;
  for (int i = 0; i < length; ++i) content.push_back(static_cast<uint8_t>(i * 37 + 11));
  uint32_t reg = CrcRegister(kCrcStart, content.data(), content.size());
  uint8_t forged[4];
  ForgeCrc(reg, crc, forged);
  content.insert(content.end(), forged, forged + 4);
  return content;
}

}  // namespace

bool ResumePrefix::Build(int level, uint32_t combined, int alignment, uint8_t byte, std::vector<uint8_t>* prefix,
                         size_t* leadIn) {
  for (int filler = 0; filler < kMaxFiller; ++filler) {
    std::vector<uint8_t> content = LeadInContent(filler, combined);
    std::string stream = Bzip2CompressBuffer(std::string(content.begin(), content.end()), 1);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(stream.data());
    SingleBlock block;
    if (!FindSingleBlock(bytes, stream.size(), &block) || block.crc != combined) continue;
    if (static_cast<int>(block.bits & 7) != alignment) continue;
    prefix->clear();
    BitWriter writer(prefix);
    writer.Put(0x425A68u, 24);  // "BZh"
    writer.Put(static_cast<uint64_t>('0' + level), 8);
    writer.PutBits(bytes, kHeaderBits, block.bits);
    if (alignment != 0) writer.Put(byte, 8 - alignment);
    *leadIn = content.size();
    return writer.pendingBits() == 0;
  }
  return false;
}

}  // namespace bzip2
