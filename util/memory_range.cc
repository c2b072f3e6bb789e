// MemoryRange (util/byte_source.h), apart from FileRange so that programs
// that read only files (the launcher) link none of it.
#include <cstring>

#include "util/byte_source.h"

namespace util {

MemoryRange::MemoryRange(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)) { length_ = size; }

bool MemoryRange::Seek(uint64_t position) {
  if (position > length_) return false;
  position_ = position;
  return true;
}

int64_t MemoryRange::Read(void* buffer, size_t size) {
  uint64_t n = remaining() < size ? remaining() : size;
  if (n > 0) memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  return static_cast<int64_t>(n);
}

std::unique_ptr<ByteSource> MemoryRange::OpenAnother() const {
  return std::unique_ptr<ByteSource>(new MemoryRange(data_, static_cast<size_t>(length_)));
}

}  // namespace util
