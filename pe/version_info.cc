#include "pe/version_info.h"

#include <algorithm>
#include <cstdio>

#include "pe/utf16_text.h"
#include "util/little_endian.h"

namespace pe {

namespace {

const size_t kBlockHeaderSize = 6;  // wLength, wValueLength, wType
const uint32_t kMaxBlock = 0xFFFF;
const uint32_t kText = 1, kBinary = 0;
const uint32_t kFixedSignature = 0xFEEF04BD;
const uint32_t kFixedStructVersion = 0x00010000;
const uint32_t kFileFlagsMask = 0x3F;     // VS_FFI_FILEFLAGSMASK
const uint32_t kOsNtWindows32 = 0x40004;  // VOS_NT_WINDOWS32
const uint32_t kTypeApp = 1;              // VFT_APP

Result Bad(const std::string& problem) { return Result::Fail(Outcome::kBadInput, problem); }

size_t AlignUp(size_t value) { return (value + 3) & ~static_cast<size_t>(3); }

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void AppendUtf16(std::string* out, const std::u16string& text) {
  for (char16_t unit : text) util::AppendLe16(out, unit);
  util::AppendLe16(out, 0);
}

// One block: header, key, value, children; false when it would be longer
// than wLength can say.
bool MakeBlock(const std::u16string& key, const std::string& value, uint32_t valueLength, uint32_t type,
               const std::vector<std::string>& children, std::string* block) {
  std::string b(kBlockHeaderSize, '\0');
  AppendUtf16(&b, key);
  util::PadTo(&b, 4);
  b += value;
  for (const std::string& child : children) {
    util::PadTo(&b, 4);
    b += child;
  }
  if (b.size() > kMaxBlock) return false;
  util::PutLe16(&b, 0, static_cast<uint32_t>(b.size()));
  util::PutLe16(&b, 2, valueLength);
  util::PutLe16(&b, 4, type);
  *block = b;
  return true;
}

// A String block's length for `key` and a value of `units` UTF-16 units.
size_t StringBlockSize(const std::string& key, size_t units) {
  return AlignUp(kBlockHeaderSize + 2 * (key.size() + 1)) + 2 * (units + 1);
}

// "1", "2.5", "1.2.3.4": the two 32-bit halves of a fixed version.
bool ParseVersion(const std::string& text, uint32_t halves[2]) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    size_t end = text.find('.', start);
    std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos) return false;
    parts[i] = static_cast<uint32_t>(std::stoul(part));
    if (parts[i] > 0xFFFF) return false;
    if (end == std::string::npos) {
      halves[0] = parts[0] << 16 | parts[1];
      halves[1] = parts[2] << 16 | parts[3];
      return true;
    }
    start = end + 1;
  }
  return false;
}

// A 16-bit number, decimal or with "0x" hexadecimal.
bool ParseNumber(const std::string& text, uint16_t* value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long number = std::stoul(digits, nullptr, hex ? 16 : 10);
  *value = static_cast<uint16_t>(number);
  return number <= 0xFFFF;
}

// One block of a resource being read: where it lies and what it holds.
struct BlockView {
  size_t end = 0;  // behind its wLength bytes
  uint32_t valueLength = 0;
  uint32_t type = 0;
  std::u16string key;
  size_t value = 0;     // where its value begins
  size_t children = 0;  // where its first child begins
};

// The block at `at`, which must end by `limit`.
Result ReadBlock(const std::string& resource, size_t at, size_t limit, BlockView* block) {
  if (at > limit || limit - at < kBlockHeaderSize) return Bad("a version information block is cut short");
  const size_t length = util::GetLe16(resource, at);
  if (length < kBlockHeaderSize || length > limit - at) return Bad("a version information block does not fit");
  block->end = at + length;
  block->valueLength = util::GetLe16(resource, at + 2);
  block->type = util::GetLe16(resource, at + 4);
  block->key.clear();
  size_t i = at + kBlockHeaderSize;
  for (; i + 2 <= block->end && util::GetLe16(resource, i) != 0; i += 2)
    block->key.push_back(util::GetLe16(resource, i));
  if (i + 2 > block->end) return Bad("a version information key is not terminated");
  block->value = AlignUp(i + 2);
  const size_t valueBytes = block->type == kText ? 2 * size_t{block->valueLength} : block->valueLength;
  block->children = std::min(block->end, AlignUp(block->value + valueBytes));
  return Result();
}

// The text value of a String block, without its NULs.
std::string TextValue(const std::string& resource, const BlockView& block) {
  std::u16string text;
  for (size_t i = block.value; i + 2 <= block.end && text.size() < block.valueLength; i += 2) {
    text.push_back(util::GetLe16(resource, i));
  }
  while (!text.empty() && text.back() == 0) text.pop_back();
  return Utf16ToUtf8(text);
}

}  // namespace

const std::vector<std::string>& VersionInfo::StringKeys() {
  static const std::vector<std::string> keys = {
      "CompanyName",      "FileDescription", "FileVersion",    "InternalName", "LegalCopyright", "LegalTrademarks",
      "OriginalFilename", "ProductName",     "ProductVersion", "Comments",     "PrivateBuild",   "SpecialBuild"};
  return keys;
}

Result VersionInfo::Set(const std::string& setting) {
  const size_t equals = setting.find('=');
  if (equals == std::string::npos || equals == 0) return Bad(setting + ": not KEY=VALUE");
  const std::string key = setting.substr(0, equals);
  const std::string value = setting.substr(equals + 1);
  if (key == "Language" || key == "CodePage") {
    bool& given = key == "Language" ? languageSet_ : codePageSet_;
    uint16_t& number = key == "Language" ? language_ : codePage_;
    if (given) return Bad(key + " is given twice");
    if (!ParseNumber(value, &number) || (key == "Language" && number == 0)) {
      return Bad(setting + ": not a " + (key == "Language" ? "language id" : "code page"));
    }
    given = true;
    return Result();
  }
  return SetString(key, value);
}

Result VersionInfo::SetString(const std::string& key, const std::string& value) {
  bool known = false;
  for (const std::string& k : StringKeys()) known = known || k == key;
  if (!known) {
    std::string list;
    for (const std::string& k : StringKeys()) list += k + ", ";
    return Bad("unknown key " + key + " (known: " + list + "Language, CodePage)");
  }
  for (const auto& string : strings_) {
    if (string.first == key) return Bad(key + " is given twice");
  }
  std::u16string units;
  if (!Utf8ToUtf16(value, &units)) return Bad(key + ": the value is not UTF-8 text");
  if (StringBlockSize(key, units.size()) > kMaxBlock) {
    const size_t most = (kMaxBlock - StringBlockSize(key, 0)) / 2;
    return Bad(key + ": the value is too long (at most " + std::to_string(most) + " UTF-16 units)");
  }
  if ((key == "FileVersion" && !ParseVersion(value, fileVersion_)) ||
      (key == "ProductVersion" && !ParseVersion(value, productVersion_))) {
    return Bad(key + "=" + value + ": not a version of one to four numbers below 65536 (1.2.3.4)");
  }
  strings_.emplace_back(key, value);
  return Result();
}

std::string VersionInfo::FixedFileInfo() const {
  std::string fixed;
  for (uint32_t field : {kFixedSignature, kFixedStructVersion, fileVersion_[0], fileVersion_[1], productVersion_[0],
                         productVersion_[1], kFileFlagsMask, 0u, kOsNtWindows32, kTypeApp, 0u, 0u, 0u}) {
    util::AppendLe32(&fixed, field);
  }
  return fixed;
}

Result VersionInfo::Encode(std::string* resource) const {
  std::vector<std::string> strings;
  for (const std::string& key : StringKeys()) {
    for (const auto& string : strings_) {
      if (string.first != key) continue;
      std::u16string units;
      Utf8ToUtf16(string.second, &units);
      std::string value, block;
      AppendUtf16(&value, units);
      if (!MakeBlock(Ascii(key), value, static_cast<uint32_t>(units.size() + 1), kText, {}, &block)) break;
      strings.push_back(block);
    }
  }
  char tableKey[16];
  snprintf(tableKey, sizeof(tableKey), "%04x%04x", language_, codePage_);
  std::string translation, table, stringFileInfo, varFileInfo, variable;
  util::AppendLe16(&translation, language_);
  util::AppendLe16(&translation, codePage_);
  bool ok = strings.size() == strings_.size() && MakeBlock(Ascii(tableKey), "", 0, kText, strings, &table) &&
            MakeBlock(u"StringFileInfo", "", 0, kText, {table}, &stringFileInfo) &&
            MakeBlock(u"Translation", translation, 4, kBinary, {}, &variable) &&
            MakeBlock(u"VarFileInfo", "", 0, kText, {variable}, &varFileInfo) &&
            MakeBlock(u"VS_VERSION_INFO", FixedFileInfo(), 52, kBinary, {stringFileInfo, varFileInfo}, resource);
  return ok ? Result() : Bad("the version strings together are too long for the version information (64 KiB)");
}

Result VersionInfo::Decode(const std::string& resource, Strings* strings) {
  strings->clear();
  BlockView root, child, table, string;
  Result result = ReadBlock(resource, 0, resource.size(), &root);
  if (result.ok() && root.key != u"VS_VERSION_INFO") result = Bad("the version information has another root");
  for (size_t at = root.children; result.ok() && at < root.end; at = AlignUp(child.end)) {
    result = ReadBlock(resource, at, root.end, &child);
    if (!result.ok() || child.key != u"StringFileInfo") continue;
    result = child.children < child.end ? ReadBlock(resource, child.children, child.end, &table) : Result();
    for (size_t s = table.children; result.ok() && s < table.end; s = AlignUp(string.end)) {
      result = ReadBlock(resource, s, table.end, &string);
      if (result.ok()) strings->emplace_back(Utf16ToUtf8(string.key), TextValue(resource, string));
    }
    break;
  }
  return result;
}

}  // namespace pe
