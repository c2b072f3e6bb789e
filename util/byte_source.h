// Sequential reads of a range of bytes, with 64-bit positions: what the
// decoders read compressed data from. FileRange reads a range of a file,
// MemoryRange bytes the caller holds. Used by one thread at a time;
// OpenAnother gives another thread a reader of its own.
#ifndef LM_UTIL_BYTE_SOURCE_H_
#define LM_UTIL_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace util {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Moves to `position` bytes into the range (at most its length).
  virtual bool Seek(uint64_t position) = 0;
  // Up to `size` bytes; 0 at the end of the range; -1 when the bytes cannot
  // be read (a file that ends before the range does).
  virtual int64_t Read(void* buffer, size_t size) = 0;
  // An independent reader of the same range, at its start; null when none
  // can be made (the file cannot be opened again).
  virtual std::unique_ptr<ByteSource> OpenAnother() const = 0;

  uint64_t length() const { return length_; }
  uint64_t position() const { return position_; }
  uint64_t remaining() const { return length_ - position_; }
  // `most`, or less when fewer bytes remain: the size of the next read
  // buffer, so that a small range never costs a large one.
  size_t PieceOf(size_t most) const { return remaining() < most ? static_cast<size_t>(remaining()) : most; }

 protected:
  uint64_t length_ = 0;
  uint64_t position_ = 0;
};

// Bytes [offset, offset + length) of a file, read through the port.
class FileRange : public ByteSource {
 public:
  FileRange() = default;
  ~FileRange() override { Close(); }
  FileRange(const FileRange&) = delete;
  FileRange& operator=(const FileRange&) = delete;

  // `path` as the port takes it. False when the file cannot be opened, the
  // range is negative or its start cannot be reached.
  bool Open(const char* path, int64_t offset, int64_t length);
  void Close();
  bool Seek(uint64_t position) override;
  int64_t Read(void* buffer, size_t size) override;
  std::unique_ptr<ByteSource> OpenAnother() const override;

 private:
  FILE* file_ = nullptr;
  std::string path_;
  uint64_t offset_ = 0;
};

// `size` bytes at `data`, which the caller keeps alive and unchanged while
// the range is read.
class MemoryRange : public ByteSource {
 public:
  MemoryRange(const void* data, size_t size);
  bool Seek(uint64_t position) override;
  int64_t Read(void* buffer, size_t size) override;
  std::unique_ptr<ByteSource> OpenAnother() const override;

 private:
  const uint8_t* data_;
};

}  // namespace util

#endif  // LM_UTIL_BYTE_SOURCE_H_
