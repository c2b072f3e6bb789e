// A Windows program image (PE32 or PE32+) held in memory: its headers,
// section table and data directories, as Microsoft's PE/COFF format
// documentation lays them out, and the one edit the packer makes to a
// launcher: the last section's data replaced.
//
// Read checks what the edit relies on: "MZ" and a "PE\0\0" that e_lfanew
// names inside the file, an optional header of either kind long enough for
// the fields used here, power-of-two alignments, a section table inside the
// headers, sections in ascending address order that do not overlap, and
// every section's raw data inside the file. Bytes behind the last section's
// raw data (a payload, a certificate table) are kept and not interpreted.
#ifndef LM_PE_PE_IMAGE_H_
#define LM_PE_PE_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util/result.h"

namespace pe {

struct PeSection {
  std::string name;  // up to 8 bytes, without the NUL padding
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;    // SizeOfRawData, a multiple of FileAlignment
  uint32_t rawOffset = 0;  // PointerToRawData
  uint32_t characteristics = 0;

  // The end of its data in the file.
  uint64_t rawEnd() const { return uint64_t{rawOffset} + rawSize; }
};

struct PeDirectory {
  uint32_t address = 0;  // an RVA, except for the certificate table (entry 4): a file offset
  uint32_t size = 0;
};

class PeImage {
 public:
  static constexpr int kResourceDirectory = 2;
  static constexpr int kCertificateDirectory = 4;

  // Reads the headers of `bytes`. kBadInput, with what is wrong, when
  // `bytes` is no PE image or its headers break the rules above.
  static Result Read(std::string bytes, PeImage* image);

  static constexpr uint32_t kMachineI386 = 0x14C;    // IMAGE_FILE_MACHINE_I386
  static constexpr uint32_t kMachineAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64

  const std::string& bytes() const { return bytes_; }
  // The COFF header's Machine: the processor the image's code is for.
  uint32_t machine() const { return machine_; }
  bool pe32Plus() const { return pe32Plus_; }
  uint32_t fileAlignment() const { return fileAlignment_; }
  uint32_t sectionAlignment() const { return sectionAlignment_; }
  // SizeOfHeaders: the file's first bytes, which are loaded as the image's
  // first.
  uint32_t headersSize() const;
  const std::vector<PeSection>& sections() const { return sections_; }
  // Entry `index` of the data directories; empty when the image has fewer.
  PeDirectory directory(int index) const;
  int directoryCount() const { return static_cast<int>(directoryCount_); }
  // The section's raw data: rawSize bytes from rawOffset.
  std::string SectionData(const PeSection& section) const;
  // The offset of the optional header's CheckSum field.
  size_t checksumField() const { return optionalHeader_ + kChecksumOffset; }

  // Makes `data` the last section's contents: its raw data (zero-padded to
  // FileAlignment) replaces the old raw data and everything behind it, its
  // VirtualSize becomes data.size(), and SizeOfImage, SizeOfInitializedData
  // (for a section of initialized data), data directory `directory` (its
  // RVA and data.size()) and the checksum follow. Nothing in front of the
  // section moves. kBadInput when the image has no sections or `directory`
  // is not one of its data directories.
  Result ReplaceLastSection(const std::string& data, int directory);

  // The PE checksum of `bytes` (imagehlp's CheckSumMappedFile): the 16-bit
  // little-endian words summed with their carries folded back in, the four
  // bytes at `checksumField` counting as zeros, plus the file's length.
  static uint32_t Checksum(const std::string& bytes, size_t checksumField);

 private:
  static constexpr size_t kChecksumOffset = 64;

  Result ReadOptionalHeader(size_t coff);
  Result ReadSections(size_t table, uint32_t count);

  std::string bytes_;
  uint32_t machine_ = 0;
  bool pe32Plus_ = false;
  size_t optionalHeader_ = 0;
  size_t directories_ = 0;  // offset of data directory 0
  uint32_t directoryCount_ = 0;
  uint32_t fileAlignment_ = 0;
  uint32_t sectionAlignment_ = 0;
  size_t sectionTable_ = 0;
  std::vector<PeSection> sections_;
};

}  // namespace pe

#endif  // LM_PE_PE_IMAGE_H_
