// UTF-16 text for the Windows port's own use: the wide calls that the narrow
// ones cannot replace (names outside the ANSI code page). Internal to the
// Windows port; nothing outside platform/ sees wchar_t strings.
#ifndef LM_PLATFORM_WIN32_WIDE_TEXT_H_
#define LM_PLATFORM_WIN32_WIDE_TEXT_H_

#include <string>

namespace platform {

// False when `utf8` is not valid UTF-8 (see code_page.h). `*wide` is empty
// on failure; an empty input gives an empty output and true.
bool Utf8ToWide(const std::string& utf8, std::wstring* wide);

// False when `wide` holds an unpaired surrogate.
bool WideToUtf8(const std::wstring& wide, std::string* utf8);

// `bytes` of `codePage` (a real number, not CP_ACP) as UTF-16. False on an
// undefined byte or an incomplete or invalid sequence.
bool CodePageToWide(const std::string& bytes, unsigned codePage, std::wstring* wide);

// `wide` as bytes of `codePage` (a real number, not CP_ACP) that decode back
// to exactly `wide`: no best fit, no default character, no one-way table
// entry. False (`*bytes` empty) otherwise.
bool WideToCodePageExactly(const std::wstring& wide, unsigned codePage, std::string* bytes);

}  // namespace platform

#endif  // LM_PLATFORM_WIN32_WIDE_TEXT_H_
