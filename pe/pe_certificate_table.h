// Finds the certificate table that Authenticode signing appends to a PE
// image, so that a payload can still be found in front of it.
//
// A file is a PE image when it starts with "MZ" and the 32-bit offset at
// 0x3C names "PE\0\0" inside the file; anything else (the native launcher, a
// bare payload) has no table. In a PE image the optional header's security
// data directory (entry 4; unlike the other entries its address is a file
// offset) names the table. Signing pads the file with zeros to a multiple of
// 8 and appends the table as the file's last bytes, so a table is accepted
// only there: 8-byte aligned, behind the headers and every section's data,
// made of whole WIN_CERTIFICATE entries, ending exactly at the file's end.
// A PE image whose headers do not fit in the file, or whose directory names
// a table anywhere else, is damaged.
#ifndef LM_PE_PE_CERTIFICATE_TABLE_H_
#define LM_PE_PE_CERTIFICATE_TABLE_H_

#include <cstdint>
#include <functional>

#include "file/lm_io_stream.h"

namespace pe {

class PeCertificateTable {
 public:
  enum class Status {
    kNone,     // not a PE image, or a PE image with an empty security directory
    kFound,    // a table ends exactly at the file's end
    kDamaged,  // PE headers or a table that do not fit: see problem()
  };

  // Reads exactly `size` bytes (at most 4) at `offset` into `buffer`; false
  // when that fails. Only asked for ranges inside the file.
  using ReadAt = std::function<bool(int64_t offset, void* buffer, int size)>;

  // Examines a file of `fileSize` bytes. Reads only header fields, the
  // section table and the certificate entries' lengths (at most
  // kMaxCertificates of them), so a hostile file costs bounded time.
  static PeCertificateTable Find(const ReadAt& readAt, int64_t fileSize);
  // The same through `stream`'s Seek and Read; its position is left
  // anywhere. Sizes of 2 GiB or more cannot be addressed and are damaged.
  static PeCertificateTable Find(LmIOStream* stream, int64_t fileSize);

  // Signing tools write one entry (a second signature is nested inside the
  // first); more than this many is not a table.
  static constexpr int kMaxCertificates = 16;

  Status status() const { return status_; }
  // kFound: where the table begins; it runs to the file's end. 0 otherwise.
  int64_t offset() const { return offset_; }
  // kDamaged: what is wrong, a static text. Empty otherwise.
  const char* problem() const { return problem_; }

 private:
  PeCertificateTable(Status status, int64_t offset, const char* problem)
      : status_(status), offset_(offset), problem_(problem) {}

  Status status_;
  int64_t offset_;
  const char* problem_;
};

}  // namespace pe

#endif  // LM_PE_PE_CERTIFICATE_TABLE_H_
