#include "pe/utf16_text.h"

#include <cstdint>

namespace pe {

namespace {

// The code point of the sequence at `utf8[*i]`, advancing *i past it; -1
// when the bytes there are no valid sequence.
int32_t DecodeOne(const std::string& utf8, size_t* i) {
  const uint32_t lead = static_cast<unsigned char>(utf8[*i]);
  const int length = lead < 0x80             ? 1
                     : (lead & 0xE0) == 0xC0 ? 2
                     : (lead & 0xF0) == 0xE0 ? 3
                     : (lead & 0xF8) == 0xF0 ? 4
                                             : 0;
  if (length == 0 || utf8.size() - *i < static_cast<size_t>(length)) return -1;
  uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    const uint32_t next = static_cast<unsigned char>(utf8[*i + k]);
    if ((next & 0xC0) != 0x80) return -1;
    code = code << 6 | (next & 0x3F);
  }
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  *i += static_cast<size_t>(length);
  return static_cast<int32_t>(code);
}

void AppendUtf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
    return;
  }
  const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
  static const uint32_t kLeadBits[] = {0, 0, 0xC0, 0xE0, 0xF0};
  out->push_back(static_cast<char>(kLeadBits[length] | code >> (6 * (length - 1))));
  for (int k = length - 2; k >= 0; --k) out->push_back(static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F)));
}

}  // namespace

bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16) {
  utf16->clear();
  for (size_t i = 0; i < utf8.size();) {
    const int32_t code = DecodeOne(utf8, &i);
    if (code < 0) {
      utf16->clear();
      return false;
    }
    if (code < 0x10000) {
      utf16->push_back(static_cast<char16_t>(code));
    } else {
      utf16->push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      utf16->push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    }
  }
  return true;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  std::string out;
  for (size_t i = 0; i < utf16.size(); ++i) {
    uint32_t code = utf16[i];
    const bool high = code >= 0xD800 && code <= 0xDBFF;
    if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    AppendUtf8(code, &out);
  }
  return out;
}

}  // namespace pe
