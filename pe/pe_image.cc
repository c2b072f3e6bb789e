#include "pe/pe_image.h"

#include <utility>

#include "util/little_endian.h"

namespace pe {

namespace {

const size_t kNewHeaderField = 0x3C;  // e_lfanew
const size_t kCoffHeaderSize = 20;
const size_t kSectionHeaderSize = 40;
const size_t kDirectorySize = 8;
const uint32_t kPe32Magic = 0x10B;
const uint32_t kPe32PlusMagic = 0x20B;
const uint32_t kInitializedData = 0x40;  // IMAGE_SCN_CNT_INITIALIZED_DATA
// A section this large is no launcher's; the bound keeps every sum below
// 2^32.
const uint64_t kMaxSectionSize = uint64_t{1} << 30;

// Offsets in the optional header, the same in PE32 and PE32+.
const size_t kSizeOfInitializedData = 8;
const size_t kSectionAlignment = 32;
const size_t kFileAlignment = 36;
const size_t kSizeOfImage = 56;
const size_t kSizeOfHeaders = 60;

Result Bad(const std::string& problem) { return Result::Fail(Outcome::kBadInput, problem); }

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace

Result PeImage::Read(std::string bytes, PeImage* image) {
  *image = PeImage();
  image->bytes_ = std::move(bytes);
  const std::string& b = image->bytes_;
  if (b.size() < kNewHeaderField + 4 || b[0] != 'M' || b[1] != 'Z') return Bad("not a Windows program (no MZ header)");
  const size_t peHeader = util::GetLe32(b, kNewHeaderField);
  if (peHeader > b.size() || b.size() - peHeader < 4 + kCoffHeaderSize || b.compare(peHeader, 4, "PE\0\0", 4) != 0) {
    return Bad("not a Windows program (no PE header)");
  }
  return image->ReadOptionalHeader(peHeader + 4);
}

Result PeImage::ReadOptionalHeader(size_t coff) {
  machine_ = util::GetLe16(bytes_, coff);
  const uint32_t sectionCount = util::GetLe16(bytes_, coff + 2);
  const uint32_t optionalSize = util::GetLe16(bytes_, coff + 16);
  optionalHeader_ = coff + kCoffHeaderSize;
  if (optionalSize < 2 || bytes_.size() - optionalHeader_ < optionalSize) {
    return Bad("the optional header runs past the end of the file");
  }
  const uint32_t magic = util::GetLe16(bytes_, optionalHeader_);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return Bad("the optional header is neither PE32 nor PE32+");
  pe32Plus_ = magic == kPe32PlusMagic;
  directories_ = optionalHeader_ + (pe32Plus_ ? 112 : 96);
  if (directories_ > optionalHeader_ + optionalSize) return Bad("the optional header is too short");
  directoryCount_ = util::GetLe32(bytes_, directories_ - 4);
  if (directoryCount_ > (optionalHeader_ + optionalSize - directories_) / kDirectorySize) {
    return Bad("the data directories run past the optional header");
  }
  sectionAlignment_ = util::GetLe32(bytes_, optionalHeader_ + kSectionAlignment);
  fileAlignment_ = util::GetLe32(bytes_, optionalHeader_ + kFileAlignment);
  if (!IsPowerOfTwo(sectionAlignment_) || !IsPowerOfTwo(fileAlignment_) || fileAlignment_ > sectionAlignment_) {
    return Bad("the section or file alignment is not a power of two");
  }
  return ReadSections(optionalHeader_ + optionalSize, sectionCount);
}

Result PeImage::ReadSections(size_t table, uint32_t count) {
  sectionTable_ = table;
  const uint64_t headersEnd = util::GetLe32(bytes_, optionalHeader_ + kSizeOfHeaders);
  if (table + uint64_t{count} * kSectionHeaderSize > headersEnd || headersEnd > bytes_.size()) {
    return Bad("the section table runs past the headers");
  }
  uint64_t nextAddress = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t header = table + i * kSectionHeaderSize;
    PeSection section;
    section.name = bytes_.substr(header, 8);
    section.name.resize(section.name.find('\0') == std::string::npos ? 8 : section.name.find('\0'));
    section.virtualSize = util::GetLe32(bytes_, header + 8);
    section.virtualAddress = util::GetLe32(bytes_, header + 12);
    section.rawSize = util::GetLe32(bytes_, header + 16);
    section.rawOffset = util::GetLe32(bytes_, header + 20);
    section.characteristics = util::GetLe32(bytes_, header + 36);
    if (section.virtualAddress < nextAddress) return Bad("the sections are not in ascending address order");
    if (section.virtualSize > kMaxSectionSize || section.rawSize > kMaxSectionSize) {
      return Bad("section " + section.name + " is too large");
    }
    if (section.rawSize != 0 && section.rawEnd() > bytes_.size()) {
      return Bad("section " + section.name + " runs past the end of the file");
    }
    uint32_t extent = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
    nextAddress = AlignUp(uint64_t{section.virtualAddress} + extent, sectionAlignment_);
    sections_.push_back(section);
  }
  return Result();
}

PeDirectory PeImage::directory(int index) const {
  PeDirectory entry;
  if (index < 0 || static_cast<uint32_t>(index) >= directoryCount_) return entry;
  entry.address = util::GetLe32(bytes_, directories_ + index * kDirectorySize);
  entry.size = util::GetLe32(bytes_, directories_ + index * kDirectorySize + 4);
  return entry;
}

uint32_t PeImage::headersSize() const { return util::GetLe32(bytes_, optionalHeader_ + kSizeOfHeaders); }

std::string PeImage::SectionData(const PeSection& section) const {
  return section.rawSize == 0 ? std::string() : bytes_.substr(section.rawOffset, section.rawSize);
}

Result PeImage::ReplaceLastSection(const std::string& data, int directory) {
  if (sections_.empty()) return Bad("the image has no sections");
  if (directory < 0 || static_cast<uint32_t>(directory) >= directoryCount_) {
    return Bad("the image has no data directory " + std::to_string(directory));
  }
  PeSection& last = sections_.back();
  if (last.rawOffset == 0 || last.rawOffset % fileAlignment_ != 0) {
    return Bad("section " + last.name + " has no aligned data in the file");
  }
  if (data.size() > kMaxSectionSize) return Bad("section " + last.name + " would be too large");
  const uint32_t newRawSize = static_cast<uint32_t>(AlignUp(data.size(), fileAlignment_));
  const size_t header = sectionTable_ + (sections_.size() - 1) * kSectionHeaderSize;
  if (last.characteristics & kInitializedData) {
    const size_t field = optionalHeader_ + kSizeOfInitializedData;
    util::PutLe32(&bytes_, field, util::GetLe32(bytes_, field) - last.rawSize + newRawSize);
  }
  last.virtualSize = static_cast<uint32_t>(data.size());
  last.rawSize = newRawSize;
  util::PutLe32(&bytes_, header + 8, last.virtualSize);
  util::PutLe32(&bytes_, header + 16, last.rawSize);
  const uint64_t imageEnd = AlignUp(uint64_t{last.virtualAddress} + last.virtualSize, sectionAlignment_);
  util::PutLe32(&bytes_, optionalHeader_ + kSizeOfImage, static_cast<uint32_t>(imageEnd));
  util::PutLe32(&bytes_, directories_ + directory * kDirectorySize, last.virtualAddress);
  util::PutLe32(&bytes_, directories_ + directory * kDirectorySize + 4, last.virtualSize);
  bytes_.resize(last.rawOffset);
  bytes_ += data;
  bytes_.append(newRawSize - data.size(), '\0');
  util::PutLe32(&bytes_, checksumField(), Checksum(bytes_, checksumField()));
  return Result();
}

uint32_t PeImage::Checksum(const std::string& bytes, size_t checksumField) {
  auto byteAt = [&](size_t i) -> uint32_t {
    if (i >= bytes.size() || (i >= checksumField && i < checksumField + 4)) return 0;
    return static_cast<unsigned char>(bytes[i]);
  };
  uint32_t sum = 0;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    sum += byteAt(i) | byteAt(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<uint32_t>(bytes.size());
}

}  // namespace pe
