#include "tests/support/fake_pe_image.h"

#include "tests/support/test_support.h"

namespace lmtest {

namespace {

const uint32_t kPe32Size = 224;  // the optional header with 16 directories
const uint32_t kPe32PlusSize = 240;
const size_t kSectionHeaderSize = 40;

size_t AlignUp(size_t value) { return (value + 7) & ~static_cast<size_t>(7); }

}  // namespace

void PutU16(std::string* bytes, size_t offset, uint32_t value) {
  (*bytes)[offset] = static_cast<char>(value);
  (*bytes)[offset + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string* bytes, size_t offset, uint32_t value) {
  PutU16(bytes, offset, value & 0xFFFF);
  PutU16(bytes, offset + 2, value >> 16);
}

uint32_t GetU32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

FakePeImage::FakePeImage(bool pe32Plus) : pe32Plus_(pe32Plus), bytes_(kSize, '\0') {
  bytes_[0] = 'M';
  bytes_[1] = 'Z';
  PutU32(&bytes_, kNewHeaderField, kPeHeader);
  bytes_.replace(kPeHeader, 4, std::string("PE\0\0", 4));
  PutU16(&bytes_, kCoffHeader, pe32Plus ? 0x8664 : 0x14C);  // Machine
  PutU16(&bytes_, kSectionCountField, 1);
  PutU16(&bytes_, kOptionalSizeField, pe32Plus ? kPe32PlusSize : kPe32Size);
  PutU16(&bytes_, kCoffHeader + 18, 0x0102);  // executable, 32-bit words
  PutU16(&bytes_, kOptionalHeader, pe32Plus ? 0x20B : 0x10B);
  PutU32(&bytes_, kOptionalHeader + 32, 0x1000);  // SectionAlignment
  PutU32(&bytes_, kOptionalHeader + 36, 0x200);   // FileAlignment
  PutU32(&bytes_, kOptionalHeader + 60, 0x200);   // SizeOfHeaders
  PutU32(&bytes_, directoryCountField(), 16);
  size_t section = sectionTable();
  bytes_.replace(section, 5, ".text");
  PutU32(&bytes_, section + 8, kSize - kSectionData);   // VirtualSize
  PutU32(&bytes_, section + 12, 0x1000);                // VirtualAddress
  PutU32(&bytes_, section + 16, kSize - kSectionData);  // SizeOfRawData
  PutU32(&bytes_, section + 20, kSectionData);          // PointerToRawData
  bytes_.replace(kSectionData, kSize - kSectionData, std::string(kSize - kSectionData, '\xCC'));
}

size_t FakePeImage::directoryCountField() const { return kOptionalHeader + (pe32Plus_ ? 108 : 92); }

size_t FakePeImage::securityDirectory() const { return directoryCountField() + 4 + 4 * 8; }

size_t FakePeImage::sectionTable() const { return kOptionalHeader + (pe32Plus_ ? kPe32PlusSize : kPe32Size); }

void FakePeImage::AddSection(const std::string& name, const std::string& data, int directory) {
  const size_t count = bytes_[kSectionCountField];
  const size_t last = sectionTable() + (count - 1) * kSectionHeaderSize;
  const size_t header = last + kSectionHeaderSize;
  const uint32_t address = (GetU32(bytes_, last + 12) + GetU32(bytes_, last + 8) + 0xFFF) & ~0xFFFu;
  const uint32_t rawSize = static_cast<uint32_t>((data.size() + 0x1FF) & ~size_t{0x1FF});
  bytes_.replace(header, name.size(), name);
  PutU32(&bytes_, header + 8, static_cast<uint32_t>(data.size()));
  PutU32(&bytes_, header + 12, address);
  PutU32(&bytes_, header + 16, rawSize);
  PutU32(&bytes_, header + 20, static_cast<uint32_t>(bytes_.size()));
  PutU32(&bytes_, header + 36, 0x40000040);  // initialized data, readable
  PutU16(&bytes_, kSectionCountField, static_cast<uint32_t>(count + 1));
  PutU32(&bytes_, kOptionalHeader + 8, GetU32(bytes_, kOptionalHeader + 8) + rawSize);
  PutU32(&bytes_, kOptionalHeader + 56, (address + static_cast<uint32_t>(data.size()) + 0xFFF) & ~0xFFFu);
  if (directory >= 0) {
    PutU32(&bytes_, this->directory(directory), address);
    PutU32(&bytes_, this->directory(directory) + 4, static_cast<uint32_t>(data.size()));
  }
  bytes_ += data + std::string(rawSize - data.size(), '\0');
}

std::string FakePeImage::Sign(const std::string& file, int padding, size_t contentSize) const {
  size_t zeros = padding >= 0 ? static_cast<size_t>(padding) : AlignUp(file.size()) - file.size();
  std::string table = CertificateTable(1, contentSize);
  std::string signedFile = file + std::string(zeros, '\0');
  PutU32(&signedFile, securityDirectory(), static_cast<uint32_t>(signedFile.size()));
  PutU32(&signedFile, securityDirectory() + 4, static_cast<uint32_t>(table.size()));
  return signedFile + table;
}

std::string FakePeImage::CertificateTable(int count, size_t contentSize) {
  std::string table;
  for (int i = 0; i < count; ++i) {
    std::string entry(8, '\0');
    PutU32(&entry, 0, static_cast<uint32_t>(8 + contentSize));  // dwLength
    PutU16(&entry, 4, 0x0200);                                  // WIN_CERT_REVISION_2_0
    PutU16(&entry, 6, 0x0002);                                  // WIN_CERT_TYPE_PKCS_SIGNED_DATA
    entry += RandomBytes(contentSize, static_cast<unsigned>(i + 1));
    table += entry + std::string(AlignUp(entry.size()) - entry.size(), '\0');
  }
  return table;
}

}  // namespace lmtest
