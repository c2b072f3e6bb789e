// A program's version information: the VS_VERSIONINFO resource
// (RT_VERSION) that Explorer's Details tab, GetFileVersionInfo and
// VerQueryValue read, built from KEY=VALUE settings and read back.
//
// The resource is a tree of blocks, each a 16-bit wLength (the block with
// its children, without the padding behind it), wValueLength, wType (1 for
// text, 0 for binary), a NUL-terminated UTF-16 key, padding to 32 bits, the
// value, padding to 32 bits, and the children, each beginning on a 32-bit
// boundary:
//   VS_VERSION_INFO  value: VS_FIXEDFILEINFO (52 bytes)
//     StringFileInfo
//       LLLLCCCC     (language and code page in hexadecimal, "040904b0")
//         one block per string: key, value in UTF-16 with its NUL;
//         wValueLength counts its UTF-16 units, the NUL included
//     VarFileInfo
//       Translation  value: the language and the code page, 16 bits each
// Strings are stored in the order of StringKeys(), not in the order given.
#ifndef LM_PE_VERSION_INFO_H_
#define LM_PE_VERSION_INFO_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "util/result.h"

namespace pe {

class VersionInfo {
 public:
  using Strings = std::vector<std::pair<std::string, std::string>>;  // key, UTF-8 value

  static constexpr uint16_t kUsEnglish = 0x0409;
  static constexpr uint16_t kUnicode = 1200;

  // The string keys Set accepts, in the order they are stored.
  static const std::vector<std::string>& StringKeys();

  // Takes one "KEY=VALUE": KEY a string key, with VALUE UTF-8 text; or
  // Language (a Windows language id, decimal or 0x-hexadecimal) or CodePage
  // (decimal), which name the string table (default US English, 1200).
  // FileVersion and ProductVersion must be one to four dot-separated
  // numbers below 65536; they also fill the fixed file information, missing
  // numbers counting as 0 ("2.5" is 2.5.0.0). kBadInput, naming the setting,
  // for an unknown key, a key given twice, a malformed version or number,
  // text that is not UTF-8, or a value too long for a 16-bit wLength.
  Result Set(const std::string& setting);

  bool empty() const { return strings_.empty(); }
  uint16_t language() const { return language_; }

  // The resource. kBadInput when the strings together are too long for it.
  Result Encode(std::string* resource) const;

  // The strings of the first string table of the resource `resource`.
  // kBadInput when its blocks do not fit each other.
  static Result Decode(const std::string& resource, Strings* strings);

 private:
  Result SetString(const std::string& key, const std::string& value);
  std::string FixedFileInfo() const;

  Strings strings_;  // as given
  uint16_t language_ = kUsEnglish;
  uint16_t codePage_ = kUnicode;
  bool languageSet_ = false, codePageSet_ = false;
  uint32_t fileVersion_[2] = {0, 0};  // most and least significant halves
  uint32_t productVersion_[2] = {0, 0};
};

}  // namespace pe

#endif  // LM_PE_VERSION_INFO_H_
