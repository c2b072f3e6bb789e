// Fuzz target: PeCertificateTable::Find on arbitrary bytes taken as a whole
// file, through both of its overloads, holding the result to its contract:
//  * reads stay inside the file and ask for 1 to 4 bytes;
//  * kFound: the file starts with "MZ", the table begins behind the DOS
//    header, on an 8-byte boundary, and its WIN_CERTIFICATE entries (walked
//    here independently) end exactly at the file's end;
//  * kNone and kFound carry no problem, kDamaged always one, and every
//    status but kFound the offset 0;
//  * the stream overload gives the same answer as the memory one.
// A breach aborts the process, which libFuzzer reports like a crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file/lm_io_stream.h"
#include "pe/pe_certificate_table.h"
#include "util/little_endian.h"

namespace {

using pe::PeCertificateTable;
using Status = PeCertificateTable::Status;

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "pe_certificate_fuzzer: %s\n", what);
  __builtin_trap();
}

// A read-only stream over a buffer, for the stream overload.
class MemoryStream : public LmIOStream {
 public:
  MemoryStream(const uint8_t* data, size_t size) : data_(data), size_(static_cast<int>(size)) {}

  int Read(void* buffer, int size) override {
    int n = size < size_ - position_ ? size : size_ - position_;
    if (n < 0) n = 0;
    memcpy(buffer, data_ + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
  }
  int Seek(int offset, int origin) override {
    int64_t base = origin == 0 ? 0 : origin == 2 ? size_ : position_;
    if (base + offset < 0 || base + offset > size_) return 0;
    position_ = static_cast<int>(base + offset);
    return 1;
  }
  int Tell() override { return position_; }

 private:
  const uint8_t* data_;
  int size_;
  int position_ = 0;
};

// Whether WIN_CERTIFICATE entries from `offset` on, each 8-aligned and at
// least 8 bytes long, fill the file exactly (the last may end unaligned).
bool EntriesFillTheFile(const uint8_t* data, int64_t size, int64_t offset) {
  int64_t position = offset;
  int entries = 0;
  while (position < size) {
    if (size - position < 4 || ++entries > PeCertificateTable::kMaxCertificates) return false;
    uint32_t length = util::LoadLe32(data + position);
    if (length < 8 || length > size - position) return false;
    position += length;
    int64_t aligned = (position + 7) / 8 * 8;
    position = aligned < size ? aligned : size;
  }
  return entries > 0;
}

void CheckResult(const PeCertificateTable& result, const uint8_t* data, int64_t size) {
  Check(result.problem() != nullptr, "a null problem text");
  if (result.status() == Status::kDamaged) {
    Check(result.problem()[0] != '\0', "a damaged file without a reason");
  } else {
    Check(result.problem()[0] == '\0', "a reason without damage");
  }
  if (result.status() != Status::kFound) {
    Check(result.offset() == 0, "an offset without a table");
    return;
  }
  Check(size >= 0x40 && data[0] == 'M' && data[1] == 'Z', "a table in a file that is no PE image");
  Check(result.offset() >= 0x40 && result.offset() < size, "a table outside the file or inside the DOS header");
  Check(result.offset() % 8 == 0, "a table that is not 8-aligned");
  Check(EntriesFillTheFile(data, size, result.offset()), "a table whose entries do not end at the file's end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int64_t fileSize = static_cast<int64_t>(size);
  PeCertificateTable::ReadAt readAt = [data, fileSize](int64_t offset, void* buffer, int count) {
    Check(count >= 1 && count <= 4, "a read of more than 4 bytes");
    Check(offset >= 0 && offset <= fileSize - count, "a read outside the file");
    memcpy(buffer, data + offset, static_cast<size_t>(count));
    return true;
  };
  PeCertificateTable fromMemory = PeCertificateTable::Find(readAt, fileSize);
  CheckResult(fromMemory, data, fileSize);

  MemoryStream stream(data, size);
  PeCertificateTable fromStream = PeCertificateTable::Find(&stream, fileSize);
  Check(fromStream.status() == fromMemory.status() && fromStream.offset() == fromMemory.offset(),
        "the stream and the memory lookups disagree");

  // A reader that fails: never kFound, and damage says why.
  PeCertificateTable unreadable = PeCertificateTable::Find([](int64_t, void*, int) { return false; }, fileSize);
  CheckResult(unreadable, data, fileSize);
  Check(unreadable.status() != Status::kFound, "a table found without reading it");
  return 0;
}
