// IntegrityRecord: the checksum lmpack writes in front of a payload, so that
// damage to the table is caught as surely as damage to the compressed data
// (whose bzip2 checksums cover only the files' contents).
//
// The record is the kSize bytes immediately before the payload offset P, in
// the bytes between the program image and P that every reader skips (the
// payload is found through its trailer alone), so a setup with a record is
// read by any reader of the format, and a reader finds the record at
// P - kSize. All integers 32-bit little-endian:
//   magic    8 bytes "LmCrc32" 0x1A
//   covered  the payload's size: bytes from P through the trailer's last byte
//   crc      CRC-32 (crc32.h) of those bytes
// A Windows setup's signing padding stands in front of the record; the
// record lies inside what an Authenticode signature covers.
//
// Eight bytes that differ from the magic in 1 to kMaxMagicDamage of its 64
// bits are a damaged record rather than none: for other bytes the chance of
// that is below 10^-9, and zero bytes (what stands in front of P in setups
// written before records existed, when they are padded) differ in 29 bits.
// Any other bytes mean no record, and the payload is read as it was before
// records existed. Damage that hides a record that way lies outside the
// payload, so the payload is as intact as the checksum would have shown.
#ifndef LM_PAYLOAD_INTEGRITY_RECORD_H_
#define LM_PAYLOAD_INTEGRITY_RECORD_H_

#include <cstdint>
#include <string>

#include "util/result.h"

namespace payload {

class IntegrityRecord {
 public:
  static constexpr int kSize = 16;
  static constexpr int kMaxMagicDamage = 8;

  enum class Status {
    kAbsent,   // no record: the payload is read as one written without
    kPresent,  // the magic is intact; covered() and crc() hold the fields
    kDamaged,  // a magic with some of its bits changed
  };

  // An absent record.
  IntegrityRecord() = default;
  // A present record for a payload of `covered` bytes whose CRC-32 is `crc`.
  IntegrityRecord(uint32_t covered, uint32_t crc);

  // The record's kSize bytes; only for a present record.
  std::string Encode() const;
  // The record in the `size` bytes that stand right before P (the last
  // kSize of them are read). Absent when fewer than kSize bytes are given.
  static IntegrityRecord Decode(const char* bytes, int size);

  Status status() const { return status_; }
  uint32_t covered() const { return covered_; }
  uint32_t crc() const { return crc_; }

  // Whether the record can describe a payload of `covered` bytes: success
  // when it is absent or covers exactly that many; kBadInput, with the
  // reason, when it is damaged or covers another size. Asked before the
  // payload's data is read.
  Result Describes(uint32_t covered) const;
  // Describes, and a present record holds `crc`, the CRC-32 computed over
  // the payload.
  Result Matches(uint32_t covered, uint32_t crc) const;

 private:
  Status status_ = Status::kAbsent;
  uint32_t covered_ = 0;
  uint32_t crc_ = 0;
};

}  // namespace payload

#endif  // LM_PAYLOAD_INTEGRITY_RECORD_H_
