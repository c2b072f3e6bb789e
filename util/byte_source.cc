#include "util/byte_source.h"

#include "platform/platform.h"

namespace util {

bool FileRange::Open(const char* path, int64_t offset, int64_t length) {
  Close();
  if (offset < 0 || length < 0 || path == nullptr) return false;
  file_ = platform::OpenFile(path, "rb");
  if (file_ == nullptr) return false;
  path_ = path;
  offset_ = static_cast<uint64_t>(offset);
  length_ = static_cast<uint64_t>(length);
  if (!Seek(0)) {
    Close();
    return false;
  }
  return true;
}

void FileRange::Close() {
  if (file_ != nullptr) fclose(file_);
  file_ = nullptr;
  length_ = 0;
  position_ = 0;
}

bool FileRange::Seek(uint64_t position) {
  if (file_ == nullptr || position > length_) return false;
  if (platform::SeekFile(file_, static_cast<int64_t>(offset_ + position)) != 0) return false;
  position_ = position;
  return true;
}

int64_t FileRange::Read(void* buffer, size_t size) {
  if (file_ == nullptr) return -1;
  uint64_t want = remaining() < size ? remaining() : size;
  if (want == 0) return 0;
  size_t got = fread(buffer, 1, static_cast<size_t>(want), file_);
  position_ += got;
  if (got != want) return -1;
  return static_cast<int64_t>(got);
}

std::unique_ptr<ByteSource> FileRange::OpenAnother() const {
  std::unique_ptr<FileRange> other(new FileRange);
  if (file_ == nullptr || !other->Open(path_.c_str(), static_cast<int64_t>(offset_), static_cast<int64_t>(length_))) {
    return nullptr;
  }
  return other;
}

}  // namespace util
