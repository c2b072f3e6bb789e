// Reading UTF-8 one character at a time, for code that looks at text
// character by character (what lmpack prints, how Windows compares names).
#ifndef LM_UTIL_UTF8_H_
#define LM_UTIL_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace util {

// The length of the valid UTF-8 sequence at `text[at]` (`at` inside the
// text), and its character in *code; 0 when the bytes there are no valid
// sequence: a stray continuation byte, a truncated sequence, an overlong
// form, an encoded surrogate or anything beyond U+10FFFF.
inline size_t DecodeUtf8At(const std::string& text, size_t at, uint32_t* code) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0 || at + length > text.size()) return 0;
  uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  *code = value;
  return length;
}

}  // namespace util

#endif  // LM_UTIL_UTF8_H_
