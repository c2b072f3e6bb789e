// UTF-16 text for the Windows port's own use: the wide calls that the narrow
// ones cannot replace (names outside the ANSI code page). Internal to the
// Windows port; nothing outside platform/ sees wchar_t strings.
#ifndef LM_PLATFORM_WIN32_WIDE_TEXT_H_
#define LM_PLATFORM_WIN32_WIDE_TEXT_H_

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// UTF-16 units with a terminating NUL kept after them, for the wide calls.
// Not std::wstring: libstdc++ declares the members of std::wstring
// instantiated in the library (extern template), so a program that names
// one links the library's compiled members, some 35 KB of the launcher; a
// vector instantiates only the members it uses.
class WideText {
 public:
  WideText() : units_(1, L'\0') {}
  WideText(const wchar_t* units, size_t size);
  explicit WideText(const wchar_t* text);

  size_t size() const { return units_.size() - 1; }
  bool empty() const { return size() == 0; }
  const wchar_t* c_str() const { return units_.data(); }
  // size() writable units, followed by the NUL.
  wchar_t* data() { return units_.data(); }
  const wchar_t* begin() const { return units_.data(); }
  const wchar_t* end() const { return units_.data() + size(); }
  wchar_t back() const { return units_[size() - 1]; }

  // New units (from resize) are NUL; the terminating NUL stays.
  void resize(size_t size);
  void push_back(wchar_t unit);
  void clear() { resize(0); }
  void swap(WideText& other) { units_.swap(other.units_); }
  bool operator==(const WideText& other) const { return units_ == other.units_; }
  bool operator!=(const WideText& other) const { return !(*this == other); }
  // Equal to a NUL-terminated text.
  bool Is(const wchar_t* text) const;

 private:
  std::vector<wchar_t> units_;
};

// False when `utf8` is not valid UTF-8 (see code_page.h). `*wide` is empty
// on failure; an empty input gives an empty output and true.
bool Utf8ToWide(const std::string& utf8, WideText* wide);

// False when `wide` holds an unpaired surrogate.
bool WideToUtf8(const WideText& wide, std::string* utf8);

// `bytes` of `codePage` (a real number, not CP_ACP) as UTF-16. False on an
// undefined byte or an incomplete or invalid sequence.
bool CodePageToWide(const std::string& bytes, unsigned codePage, WideText* wide);

// `wide` as bytes of `codePage` (a real number, not CP_ACP) that decode back
// to exactly `wide`: no best fit, no default character, no one-way table
// entry. False (`*bytes` empty) otherwise.
bool WideToCodePageExactly(const WideText& wide, unsigned codePage, std::string* bytes);

}  // namespace platform

#endif  // LM_PLATFORM_WIN32_WIDE_TEXT_H_
