#include "payload/payload_format.h"

#include <algorithm>
#include <cstring>

namespace payload {

std::string FoldCase(const std::string& text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

namespace {

bool IsReservedDeviceName(const char* name, size_t length) {
  // The device name is what stands before the first dot.
  const char* dot = static_cast<const char*>(memchr(name, '.', length));
  std::string base = FoldCase(std::string(name, dot ? static_cast<size_t>(dot - name) : length));
  // Windows also ignores trailing spaces before the extension ("CON .txt").
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" || base == "conout$") {
    return true;
  }
  if (base.size() < 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0)) return false;
  // A digit, 0 included, or a superscript one, two or three, which Windows
  // reads as digits too: as the ANSI code pages that hold them spell them
  // (B9 B2 B3 in Windows-1252 to 1258, A9F6 A9F7 A9F8 in Korean 949), or as
  // UTF-8, the names of folders and of native setups. In other code pages
  // those bytes are other letters (0xB9 is a with ogonek in Windows-1250),
  // refused alike.
  const std::string digit = base.substr(3);
  if (digit.size() == 1) return (digit[0] >= '0' && digit[0] <= '9') || strchr("\xB9\xB2\xB3", digit[0]) != nullptr;
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3" || digit == "\xA9\xF6" ||
         digit == "\xA9\xF7" || digit == "\xA9\xF8";
}

Result Bad(const std::string& what) { return Result::Fail(Outcome::kBadInput, what); }

// Splits a path of safe components separated by '\'. `text` has no
// leading separator.
Result IsSafeRelativePath(const std::string& text) {
  if (text.empty()) return Bad("empty path");
  if (text.size() > static_cast<size_t>(kMaxStringLength)) return Bad("path longer than 259 bytes");
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\\', start);
    size_t length = (end == std::string::npos ? text.size() : end) - start;
    if (!IsSafeComponent(text.data() + start, length)) {
      return Bad("unsafe path component \"" + text.substr(start, length) + "\"");
    }
    if (end == std::string::npos) return Result();
    start = end + 1;
  }
}

std::string ParentOf(const std::string& path) {
  size_t at = path.rfind('\\');
  return at == std::string::npos || at == 0 ? std::string() : path.substr(0, at);
}

}  // namespace

bool IsSafeComponent(const char* name, size_t length) {
  if (length == 0) return false;
  if ((length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.')) return false;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || strchr(":/\\*?\"<>|", c) != nullptr) return false;
  }
  if (name[length - 1] == '.' || name[length - 1] == ' ') return false;
  return !IsReservedDeviceName(name, length);
}

Result PayloadTableChecker::Add(const FILENODE& entry) {
  if (entry.kind != FILENODE::kFile && entry.kind != FILENODE::kDirectory) return Result();
  std::string path(entry.path.GetText() ? entry.path.GetText() : "", static_cast<size_t>(entry.path.GetLength()));
  if (path.size() != strlen(path.c_str())) return Bad("entry path holds a NUL byte");
  if (path.empty() || path[0] != '\\') return Bad("entry path \"" + path + "\" does not begin with \\");
  Result safe = IsSafeRelativePath(path.substr(1));
  if (!safe.ok()) return Bad("entry path \"" + path + "\": " + safe.message());
  // The parent must be an earlier directory entry spelt exactly as here:
  // the unpacked path is built from these bytes, and a case-sensitive file
  // system would not find a directory spelt otherwise.
  std::string parent = ParentOf(path);
  if (!parent.empty()) {
    const Known* found = Find(KeyOf(parent));
    if (found == nullptr || found->kind != FILENODE::kDirectory || found->path != parent) {
      return Bad("entry \"" + path + "\" comes before its directory, or its directory is missing");
    }
  }
  // Names the file system takes for one (spelt alike, or one name to
  // Windows) cannot coexist.
  std::string key = KeyOf(path);
  if (Find(key) != nullptr) return Bad("entry \"" + path + "\" stands twice in the table");
  Insert(entry.kind, key, path);
  return Result();
}

Result PayloadTableChecker::CheckLaunchName(const LmString& name) const {
  std::string text(name.GetText() ? name.GetText() : "", static_cast<size_t>(name.GetLength()));
  Result safe = IsSafeRelativePath(text);
  if (!safe.ok()) return Bad("launch name \"" + text + "\": " + safe.message());
  const Known* found = Find(KeyOf("\\" + text));
  if (found == nullptr || found->kind != FILENODE::kFile || found->path != "\\" + text) {
    return Bad("launch name \"" + text + "\" names no file of the table");
  }
  return Result();
}

namespace {

uint32_t HashOf(const std::string& text) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

}  // namespace

const PayloadTableChecker::Known* PayloadTableChecker::Find(const std::string& folded) const {
  if (slots_.empty()) return nullptr;
  size_t mask = slots_.size() - 1;
  for (size_t i = HashOf(folded) & mask; slots_[i] != 0; i = (i + 1) & mask) {
    if (known_[slots_[i] - 1].folded == folded) return &known_[slots_[i] - 1];
  }
  return nullptr;
}

void PayloadTableChecker::Insert(uint32_t kind, const std::string& folded, const std::string& path) {
  known_.push_back(Known{kind, folded, path});
  if (known_.size() * 2 <= slots_.size()) {
    Place(static_cast<uint32_t>(known_.size() - 1));
    return;
  }
  slots_.assign(std::max<size_t>(16, slots_.size() * 2), 0);
  for (uint32_t i = 0; i < known_.size(); ++i) Place(i);
}

void PayloadTableChecker::Place(uint32_t index) {
  size_t mask = slots_.size() - 1;
  size_t i = HashOf(known_[index].folded) & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = index + 1;
}

}  // namespace payload
