#include "pe/icon_file.h"

#include <iterator>
#include <map>
#include <utility>

#include "util/little_endian.h"

namespace pe {

namespace {

const size_t kHeaderSize = 6;
const size_t kFileEntrySize = 16;
const size_t kGroupEntrySize = 14;
const size_t kBitmapHeaderSize = 40;  // BITMAPINFOHEADER
const char kPngSignature[] = "\x89PNG\r\n\x1A\n";
const size_t kPngHeaderEnd = 8 + 8 + 13 + 4;  // the signature, then IHDR's length, type, fields and CRC

Result Bad(const std::string& problem) { return Result::Fail(Outcome::kBadInput, problem); }

// What is wrong with the image of `size` bytes at `at` of `bytes`, empty
// when nothing: a bitmap's header must give it a width and a height (which
// counts the mask's rows too), a PNG's signature must be followed by its
// header chunk (IHDR), giving a width and a height.
std::string ImageProblem(const std::string& bytes, size_t at, size_t size) {
  if (size >= kBitmapHeaderSize && util::GetLe32(bytes, at) == kBitmapHeaderSize) {
    const bool empty = util::GetLe32(bytes, at + 4) == 0 || util::GetLe32(bytes, at + 8) == 0;
    return empty ? " is a bitmap 0 pixels wide or high" : "";
  }
  if (size < 8 || bytes.compare(at, 8, kPngSignature, 8) != 0) return " is neither a bitmap nor a PNG";
  const bool header = size >= kPngHeaderEnd && bytes.compare(at + 12, 4, "IHDR") == 0 &&
                      util::GetLe32(bytes, at + 16) != 0 && util::GetLe32(bytes, at + 20) != 0;
  return header ? "" : " is a PNG without a header chunk giving its width and height";
}

// The images read so far, by the offset of their bytes: their end and
// their index.
using Taken = std::map<uint64_t, std::pair<uint64_t, size_t>>;

// The index of an image in `taken` that shares bytes with [start, end), or
// -1.
int64_t SharingImage(const Taken& taken, uint64_t start, uint64_t end) {
  if (start == end) return -1;
  auto next = taken.lower_bound(start);
  if (next != taken.end() && next->first < end) return static_cast<int64_t>(next->second.second);
  if (next != taken.begin() && std::prev(next)->second.first > start) {
    return static_cast<int64_t>(std::prev(next)->second.second);
  }
  return -1;
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
  // Icon editors give each image its own bytes. Images that share them
  // are refused: each is copied, and a file of one image named 65,535 times
  // would fill the memory.
  Taken taken;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kHeaderSize + i * kFileEntrySize;
    const uint64_t size = util::GetLe32(bytes, entry + 8);
    const uint64_t offset = util::GetLe32(bytes, entry + 12);
    const std::string which = "image " + std::to_string(i + 1) + " of the icon file";
    if (offset > bytes.size() || size > bytes.size() - offset) return Bad(which + " lies past the file's end");
    const int64_t other = SharingImage(taken, offset, offset + size);
    if (other >= 0) return Bad(which + " shares bytes with image " + std::to_string(other + 1));
    const std::string problem = ImageProblem(bytes, offset, size);
    if (!problem.empty()) return Bad(which + problem);
    taken.emplace(offset, std::make_pair(offset + size, i));
    icon->images_.push_back(Image{bytes.substr(entry, 12), bytes.substr(offset, size)});
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
