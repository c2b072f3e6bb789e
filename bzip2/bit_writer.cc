#include "bzip2/bit_writer.h"

#include "bzip2/bzip2_format.h"

namespace bzip2 {

void BitWriter::Put(uint64_t value, int count) {
  while (count > 0) {
    int take = 8 - pending_ < count ? 8 - pending_ : count;
    uint32_t bits = static_cast<uint32_t>(value >> (count - take)) & ((1u << take) - 1);
    bits_ = (bits_ << take) | bits;
    pending_ += take;
    count -= take;
    if (pending_ == 8) {
      out_->push_back(static_cast<uint8_t>(bits_));
      bits_ = 0;
      pending_ = 0;
    }
  }
}

void BitWriter::PutByte(uint32_t byte) {
  out_->push_back(static_cast<uint8_t>((bits_ << (8 - pending_)) | (byte >> pending_)));
  bits_ = byte & ((1u << pending_) - 1);
}

void BitWriter::PutBits(const uint8_t* source, uint64_t bit, uint64_t count) {
  const uint8_t* bytes = source + (bit >> 3);
  const int shift = static_cast<int>(bit & 7);
  const uint64_t whole = count >> 3;
  if (shift == 0 && pending_ == 0) {
    out_->insert(out_->end(), bytes, bytes + whole);
  } else {
    out_->reserve(out_->size() + whole + 1);
    for (uint64_t i = 0; i < whole; ++i) {
      uint32_t byte = shift == 0 ? bytes[i] : ((bytes[i] << shift) | (bytes[i + 1] >> (8 - shift))) & 0xFFu;
      if (pending_ == 0) {
        out_->push_back(static_cast<uint8_t>(byte));
      } else {
        PutByte(byte);
      }
    }
  }
  int rest = static_cast<int>(count & 7);
  if (rest > 0) Put(ReadBits(source, bit + whole * 8, rest), rest);
}

void BitWriter::Align() {
  if (pending_ > 0) Put(0, 8 - pending_);
}

}  // namespace bzip2
