#include "pe/pe_certificate_table.h"

#include <climits>

namespace pe {

namespace {

using Status = PeCertificateTable::Status;

const uint32_t kDosMagic = 0x5A4D;         // "MZ"
const int64_t kNewHeaderField = 0x3C;      // e_lfanew: where "PE\0\0" stands
const uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
const int kCoffHeaderSize = 20;
const uint32_t kPe32Magic = 0x10B;
const uint32_t kPe32PlusMagic = 0x20B;
// Where the data directories begin in each kind of optional header; the
// directory count is the field just before them.
const int kPe32Directories = 96;
const int kPe32PlusDirectories = 112;
const uint32_t kSecurityEntry = 4;
const int kDirectoryEntrySize = 8;
const int kSectionHeaderSize = 40;
const int kCertificateHeaderSize = 8;  // dwLength, wRevision, wCertificateType
const int64_t kCertificateAlignment = 8;

int64_t AlignUp(int64_t value) { return (value + kCertificateAlignment - 1) & ~(kCertificateAlignment - 1); }

struct Verdict {
  Status status;
  int64_t offset;
  const char* problem;
};

// The fields the lookup needs, from the COFF and optional headers.
struct ImageHeaders {
  int64_t sectionTable;  // file offset of the first section header
  uint32_t sectionCount;
  uint32_t tableOffset;  // the security directory
  uint32_t tableSize;
};

// One lookup over one file. Each step returns false once the verdict is
// known (no table, or damaged); Run then reports it.
class Locator {
 public:
  Locator(const PeCertificateTable::ReadAt& readAt, int64_t fileSize) : readAt_(readAt), fileSize_(fileSize) {}

  Verdict Run() {
    int64_t coff;
    ImageHeaders headers;
    if (!FindSignature(&coff) || !ReadHeaders(coff, &headers) || !CheckPlacement(headers) || !CheckEntries(headers)) {
      return verdict_;
    }
    return Verdict{Status::kFound, headers.tableOffset, ""};
  }

 private:
  bool Inside(int64_t offset, int64_t size) const {
    return offset >= 0 && size >= 0 && offset <= fileSize_ && size <= fileSize_ - offset;
  }

  bool None() {
    verdict_ = Verdict{Status::kNone, 0, ""};
    return false;
  }

  bool Damaged(const char* problem) {
    verdict_ = Verdict{Status::kDamaged, 0, problem};
    return false;
  }

  // A little-endian field of `size` bytes (at most 4); damaged, for the
  // reason `outside` when it lies outside the file.
  bool Field(int64_t offset, int size, uint32_t* value, const char* outside) {
    if (!Inside(offset, size)) return Damaged(outside);
    unsigned char bytes[4];
    if (!readAt_(offset, bytes, size)) return Damaged("the PE headers or the certificate table cannot be read");
    *value = 0;
    for (int i = size - 1; i >= 0; --i) *value = (*value << 8) | bytes[i];
    return true;
  }

  // Without "MZ" and a "PE\0\0" that e_lfanew names inside the file, the
  // file is no PE image: the DOS header alone names no table.
  bool FindSignature(int64_t* coff) {
    uint32_t magic, newHeader, signature;
    if (!Inside(0, kNewHeaderField + 4)) return None();
    if (!Field(0, 2, &magic, "the DOS header runs past the end of the file")) return false;
    if (magic != kDosMagic) return None();
    if (!Field(kNewHeaderField, 4, &newHeader, "the DOS header runs past the end of the file")) return false;
    if (!Inside(newHeader, 4)) return None();
    if (!Field(newHeader, 4, &signature, "the PE signature runs past the end of the file")) return false;
    if (signature != kPeSignature) return None();
    *coff = static_cast<int64_t>(newHeader) + 4;
    return true;
  }

  bool ReadHeaders(int64_t coff, ImageHeaders* headers) {
    uint32_t optionalSize, magic, directoryCount;
    if (!Field(coff + 2, 2, &headers->sectionCount, "the COFF header runs past the end of the file") ||
        !Field(coff + 16, 2, &optionalSize, "the COFF header runs past the end of the file")) {
      return false;
    }
    const int64_t optional = coff + kCoffHeaderSize;
    headers->sectionTable = optional + optionalSize;
    if (optionalSize < 2) return Damaged("the PE image has no optional header");
    if (!Field(optional, 2, &magic, "the optional header runs past the end of the file")) return false;
    int directories = magic == kPe32Magic ? kPe32Directories : magic == kPe32PlusMagic ? kPe32PlusDirectories : 0;
    if (directories == 0) return Damaged("the optional header is neither PE32 nor PE32+");
    if (optionalSize < static_cast<uint32_t>(directories)) {
      return Damaged("the optional header is too short for its data directories");
    }
    if (!Field(optional + directories - 4, 4, &directoryCount, "the optional header runs past the end of the file")) {
      return false;
    }
    // Fewer directories than the security entry: the image cannot name a table.
    if (directoryCount <= kSecurityEntry) return None();
    const int64_t entry = optional + directories + kSecurityEntry * kDirectoryEntrySize;
    if (entry + kDirectoryEntrySize > headers->sectionTable) {
      return Damaged("the optional header is too short for the security directory");
    }
    return Field(entry, 4, &headers->tableOffset, "the security directory runs past the end of the file") &&
           Field(entry + 4, 4, &headers->tableSize, "the security directory runs past the end of the file");
  }

  bool CheckPlacement(const ImageHeaders& headers) {
    const int64_t start = headers.tableOffset;
    const int64_t size = headers.tableSize;
    if (start == 0 && size == 0) return None();
    if (start == 0 || size == 0) return Damaged("the security directory is half empty");
    if (start + size > fileSize_) return Damaged("the certificate table runs past the end of the file");
    if (start + size != fileSize_) return Damaged("the certificate table does not end at the file's end");
    if (start % kCertificateAlignment != 0) return Damaged("the certificate table is not aligned to 8 bytes");
    const int64_t sectionTableSize = static_cast<int64_t>(headers.sectionCount) * kSectionHeaderSize;
    if (!Inside(headers.sectionTable, sectionTableSize)) {
      return Damaged("the section table runs past the end of the file");
    }
    if (start < headers.sectionTable + sectionTableSize) {
      return Damaged("the certificate table overlaps the PE headers");
    }
    for (uint32_t i = 0; i < headers.sectionCount; ++i) {
      const int64_t section = headers.sectionTable + static_cast<int64_t>(i) * kSectionHeaderSize;
      uint32_t rawSize, rawOffset;
      if (!Field(section + 16, 4, &rawSize, "a section header runs past the end of the file") ||
          !Field(section + 20, 4, &rawOffset, "a section header runs past the end of the file")) {
        return false;
      }
      if (rawSize != 0 && static_cast<int64_t>(rawOffset) + rawSize > start) {
        return Damaged("the certificate table overlaps a section's data");
      }
    }
    return true;
  }

  // Entries follow each other at 8-byte boundaries; after the last one only
  // the padding to the next boundary may remain.
  bool CheckEntries(const ImageHeaders& headers) {
    const int64_t end = fileSize_;
    int64_t position = headers.tableOffset;
    for (int i = 0; i < PeCertificateTable::kMaxCertificates && position < end; ++i) {
      uint32_t length;
      if (!Field(position, 4, &length, "a certificate entry runs past the end of the file")) return false;
      if (length < static_cast<uint32_t>(kCertificateHeaderSize) || length > end - position) {
        return Damaged("a certificate entry's length does not fit the table");
      }
      position += length;
      position = AlignUp(position) < end ? AlignUp(position) : end;
    }
    if (position < end) return Damaged("the certificate table holds too many entries");
    return true;
  }

  const PeCertificateTable::ReadAt& readAt_;
  const int64_t fileSize_;
  Verdict verdict_{Status::kNone, 0, ""};
};

}  // namespace

PeCertificateTable PeCertificateTable::Find(const ReadAt& readAt, int64_t fileSize) {
  Verdict verdict = Locator(readAt, fileSize).Run();
  return PeCertificateTable(verdict.status, verdict.offset, verdict.problem);
}

PeCertificateTable PeCertificateTable::Find(LmIOStream* stream, int64_t fileSize) {
  if (fileSize < 0 || fileSize > INT_MAX) {
    return PeCertificateTable(Status::kDamaged, 0, "the file is too large to be addressed");
  }
  ReadAt readAt = [stream](int64_t offset, void* buffer, int size) {
    return stream->Seek(static_cast<int>(offset), 0) && stream->Read(buffer, size) == size;
  };
  return Find(readAt, fileSize);
}

}  // namespace pe
