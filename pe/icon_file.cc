#include "pe/icon_file.h"

#include "util/little_endian.h"

namespace pe {

namespace {

const size_t kHeaderSize = 6;
const size_t kFileEntrySize = 16;
const size_t kGroupEntrySize = 14;
const size_t kBitmapHeaderSize = 40;  // BITMAPINFOHEADER
const char kPngSignature[] = "\x89PNG\r\n\x1A\n";

Result Bad(const std::string& problem) { return Result::Fail(Outcome::kBadInput, problem); }

bool IsBitmapOrPng(const std::string& data) {
  return (data.size() >= kBitmapHeaderSize && util::GetLe32(data, 0) == kBitmapHeaderSize) ||
         data.compare(0, 8, kPngSignature, 8) == 0;
}

}  // namespace

Result IconFile::Read(const std::string& bytes, IconFile* icon) {
  icon->images_.clear();
  if (bytes.size() < kHeaderSize || util::GetLe16(bytes, 0) != 0 || util::GetLe16(bytes, 2) != 1) {
    return Bad("not an icon file");
  }
  const size_t count = util::GetLe16(bytes, 4);
  if (count == 0) return Bad("the icon file holds no images");
  if (bytes.size() < kHeaderSize + count * kFileEntrySize) return Bad("the icon file's directory is cut short");
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kHeaderSize + i * kFileEntrySize;
    const uint64_t size = util::GetLe32(bytes, entry + 8);
    const uint64_t offset = util::GetLe32(bytes, entry + 12);
    const std::string which = "image " + std::to_string(i + 1) + " of the icon file";
    if (offset > bytes.size() || size > bytes.size() - offset) return Bad(which + " lies past the file's end");
    Image image{bytes.substr(entry, 12), bytes.substr(offset, size)};
    if (!IsBitmapOrPng(image.data)) return Bad(which + " is neither a bitmap nor a PNG");
    icon->images_.push_back(image);
  }
  return Result();
}

std::string IconFile::GroupResource(const std::vector<uint16_t>& numbers) const {
  std::string group;
  util::AppendLe16(&group, 0);
  util::AppendLe16(&group, 1);
  util::AppendLe16(&group, static_cast<uint32_t>(images_.size()));
  for (size_t i = 0; i < images_.size(); ++i) {
    group += images_[i].entry;
    util::AppendLe16(&group, numbers[i]);
  }
  return group;
}

std::vector<uint16_t> IconFile::GroupNumbers(const std::string& group) {
  std::vector<uint16_t> numbers;
  if (group.size() < kHeaderSize) return numbers;
  const size_t count = util::GetLe16(group, 4);
  for (size_t i = 0; i < count && kHeaderSize + (i + 1) * kGroupEntrySize <= group.size(); ++i) {
    numbers.push_back(static_cast<uint16_t>(util::GetLe16(group, kHeaderSize + i * kGroupEntrySize + 12)));
  }
  return numbers;
}

}  // namespace pe
