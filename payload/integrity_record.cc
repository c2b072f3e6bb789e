#include "payload/integrity_record.h"

#include "util/little_endian.h"

namespace payload {

namespace {

const unsigned char kMagic[8] = {'L', 'm', 'C', 'r', 'c', '3', '2', 0x1A};

int BitsDifferingFromMagic(const unsigned char* bytes) {
  int bits = 0;
  for (int i = 0; i < 8; ++i) {
    for (unsigned d = bytes[i] ^ kMagic[i]; d != 0; d &= d - 1) ++bits;
  }
  return bits;
}

// "0x" and eight upper-case digits.
std::string Hex(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text.push_back(kDigits[(value >> shift) & 0xF]);
  return text;
}

}  // namespace

IntegrityRecord::IntegrityRecord(uint32_t covered, uint32_t crc)
    : status_(Status::kPresent), covered_(covered), crc_(crc) {}

std::string IntegrityRecord::Encode() const {
  std::string bytes(reinterpret_cast<const char*>(kMagic), sizeof(kMagic));
  util::AppendLe32(&bytes, covered_);
  util::AppendLe32(&bytes, crc_);
  return bytes;
}

IntegrityRecord IntegrityRecord::Decode(const char* bytes, int size) {
  IntegrityRecord record;
  if (size < kSize) return record;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes) + size - kSize;
  int damage = BitsDifferingFromMagic(p);
  if (damage > kMaxMagicDamage) return record;
  record.status_ = damage == 0 ? Status::kPresent : Status::kDamaged;
  record.covered_ = util::LoadLe32(p + 8);
  record.crc_ = util::LoadLe32(p + 12);
  return record;
}

Result IntegrityRecord::Describes(uint32_t covered) const {
  switch (status_) {
    case Status::kAbsent:
      return Result();
    case Status::kDamaged:
      return Result::Fail(Outcome::kBadInput, "the integrity record is damaged");
    case Status::kPresent:
      break;
  }
  if (covered_ == covered) return Result();
  return Result::Fail(Outcome::kBadInput, "the integrity record covers " + std::to_string(covered_) +
                                              " bytes, the payload has " + std::to_string(covered));
}

Result IntegrityRecord::Matches(uint32_t covered, uint32_t crc) const {
  Result described = Describes(covered);
  if (!described.ok() || status_ == Status::kAbsent || crc_ == crc) return described;
  return Result::Fail(Outcome::kBadInput,
                      "the payload's CRC-32 is " + Hex(crc) + ", its integrity record says " + Hex(crc_));
}

}  // namespace payload
