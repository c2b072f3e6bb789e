#include "platform/win32/wide_text.h"

#include <wchar.h>

#include "platform/win32/windows_api.h"

namespace platform {

WideText::WideText(const wchar_t* units, size_t size) : units_(units, units + size) { units_.push_back(L'\0'); }

WideText::WideText(const wchar_t* text) : WideText(text, wcslen(text)) {}

void WideText::resize(size_t size) {
  units_.resize(size + 1, L'\0');
  units_.back() = L'\0';
}

void WideText::push_back(wchar_t unit) {
  units_.back() = unit;
  units_.push_back(L'\0');
}

bool WideText::Is(const wchar_t* text) const { return wcscmp(c_str(), text) == 0; }

bool Utf8ToWide(const std::string& utf8, WideText* wide) { return CodePageToWide(utf8, CP_UTF8, wide); }

bool WideToUtf8(const WideText& wide, std::string* utf8) { return WideToCodePageExactly(wide, CP_UTF8, utf8); }

bool CodePageToWide(const std::string& bytes, unsigned codePage, WideText* wide) {
  wide->clear();
  if (bytes.empty()) return true;
  const int length = static_cast<int>(bytes.size());
  int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (n <= 0) return false;
  WideText result;
  result.resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, result.data(), n) != n) return false;
  wide->swap(result);
  return true;
}

bool WideToCodePageExactly(const WideText& wide, unsigned codePage, std::string* bytes) {
  bytes->clear();
  if (wide.empty()) return true;
  // UTF-8 (like UTF-7 and the ISO-2022 and GB18030 code pages) takes neither
  // WC_NO_BEST_FIT_CHARS nor a used-default flag: the call would fail with
  // ERROR_INVALID_PARAMETER. It has nothing to substitute but U+FFFD for an
  // unpaired surrogate, which the check of the way back catches.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
  const int length = static_cast<int>(wide.size());
  int n = WideCharToMultiByte(codePage, flags, wide.c_str(), length, nullptr, 0, nullptr, usedDefaultOut);
  if (n <= 0 || usedDefault) return false;
  std::string result(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(codePage, flags, wide.c_str(), length, &result[0], n, nullptr, usedDefaultOut) != n ||
      usedDefault) {
    return false;
  }
  // The tables have one-way entries (1253 writes U+F8F9 as 0xAA but reads
  // 0xAA as nothing): only bytes that read back as the same text are exact.
  WideText back;
  if (!CodePageToWide(result, codePage, &back) || back != wide) return false;
  bytes->swap(result);
  return true;
}

}  // namespace platform
