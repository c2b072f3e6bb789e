// UTF-8 to UTF-16 and back, for the text that Windows resources store as
// UTF-16 (resource names, version strings).
#ifndef LM_PAYLOAD_UTF16_TEXT_H_
#define LM_PAYLOAD_UTF16_TEXT_H_

#include <string>

namespace pe {

// `utf8` as UTF-16 code units; false (with *utf16 empty) when it is not
// valid UTF-8: overlong forms, encoded surrogates, anything past U+10FFFF
// and truncated sequences are refused.
bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16);

// `utf16` as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& utf16);

}  // namespace pe

#endif  // LM_PAYLOAD_UTF16_TEXT_H_
