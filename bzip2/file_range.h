// Sequential reads of a byte range [offset, offset + length) of a file, in
// pieces, with 64-bit positions. Used by one thread at a time.
#ifndef LM_BZIP2_FILE_RANGE_H_
#define LM_BZIP2_FILE_RANGE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace bzip2 {

class FileRange {
 public:
  FileRange() = default;
  ~FileRange() { Close(); }
  FileRange(const FileRange&) = delete;
  FileRange& operator=(const FileRange&) = delete;

  // `path` is a native path. False when the file cannot be opened, the
  // range is negative or the start cannot be reached.
  bool Open(const char* path, int64_t offset, int64_t length);
  void Close();
  // Moves to `position` bytes into the range (at most its length).
  bool Seek(uint64_t position);
  // Up to `size` bytes; 0 at the end of the range; -1 when the file cannot
  // be read or ends before the range does.
  int64_t Read(void* buffer, size_t size);

  uint64_t length() const { return length_; }
  uint64_t position() const { return position_; }
  uint64_t remaining() const { return length_ - position_; }
  // `most`, or less when fewer bytes remain: the size of the next read
  // buffer, so that a small range never costs a large one.
  size_t PieceOf(size_t most) const { return remaining() < most ? static_cast<size_t>(remaining()) : most; }

 private:
  FILE* file_ = nullptr;
  uint64_t offset_ = 0;
  uint64_t length_ = 0;
  uint64_t position_ = 0;
};

}  // namespace bzip2

#endif  // LM_BZIP2_FILE_RANGE_H_
