// A minimal PE image for tests of signed setups, and the signing tools' last
// step on it: zero padding and a certificate table behind everything else,
// named by the security data directory.
//
// Layout: DOS header ("MZ", e_lfanew 0x80), "PE\0\0", COFF header, a PE32 or
// PE32+ optional header with 16 data directories, one section header, and
// that section's raw data at 0x200, up to kSize. The image does not run; it
// only has to be read as one.
#ifndef LM_TESTS_SUPPORT_FAKE_PE_IMAGE_H_
#define LM_TESTS_SUPPORT_FAKE_PE_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace lmtest {

// Little-endian fields in place: bytes->size() must be at least offset + 2
// (or + 4).
void PutU16(std::string* bytes, size_t offset, uint32_t value);
void PutU32(std::string* bytes, size_t offset, uint32_t value);
uint32_t GetU32(const std::string& bytes, size_t offset);

class FakePeImage {
 public:
  static constexpr size_t kSize = 0x400;
  static constexpr size_t kNewHeaderField = 0x3C;  // e_lfanew
  static constexpr size_t kPeHeader = 0x80;        // "PE\0\0"
  static constexpr size_t kCoffHeader = kPeHeader + 4;
  static constexpr size_t kSectionCountField = kCoffHeader + 2;
  static constexpr size_t kOptionalSizeField = kCoffHeader + 16;
  static constexpr size_t kOptionalHeader = kCoffHeader + 20;  // its magic first
  static constexpr size_t kSectionData = 0x200;

  explicit FakePeImage(bool pe32Plus);

  const std::string& bytes() const { return bytes_; }
  bool pe32Plus() const { return pe32Plus_; }
  size_t directoryCountField() const;  // NumberOfRvaAndSizes
  size_t securityDirectory() const;    // entry 4: file offset, then size
  size_t sectionTable() const;

  // Adds a section of initialized data named `name` holding `data` behind
  // the last one (at the next 0x1000-aligned address, its raw data padded
  // to 0x200 at the file's end), names it in data directory `directory`
  // (-1: none), and updates SizeOfImage and SizeOfInitializedData.
  void AddSection(const std::string& name, const std::string& data, int directory);
  size_t directory(int index) const { return directoryCountField() + 4 + 8 * static_cast<size_t>(index); }

  // `file` (which begins with this image) as a signing tool leaves it:
  // `padding` zero bytes (-1: up to a multiple of 8), a certificate table of
  // one WIN_CERTIFICATE entry with `contentSize` bytes of content, padded to
  // a multiple of 8, and the security directory naming the table.
  std::string Sign(const std::string& file, int padding = -1, size_t contentSize = 64) const;

  // A table of `count` entries with `contentSize` bytes of content each.
  static std::string CertificateTable(int count, size_t contentSize);

 private:
  bool pe32Plus_;
  std::string bytes_;
};

}  // namespace lmtest

#endif  // LM_TESTS_SUPPORT_FAKE_PE_IMAGE_H_
