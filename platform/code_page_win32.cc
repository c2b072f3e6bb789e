// The Windows port of code_page.h, on the system's own tables, with the
// rules of code_page.h applied on top so that it agrees with the POSIX port.
#include "platform/code_page.h"

#include <cwchar>

#include "platform/win32/windows_api.h"

#include "platform/code_page_rules.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

const int kCodePages[] = {437,  850,  852,  866,  874,  932,  936,  949,  950,          1250,
                          1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, kCodePageUtf8};

bool IsListed(int codePage) {
  for (int listed : kCodePages) {
    if (listed == codePage) return true;
  }
  return false;
}

// The refused characters are all in the BMP, so UTF-16 units suffice.
bool HasRefusedCharacter(const WideText& text) {
  for (wchar_t unit : text) {
    if (IsRefusedCharacter(static_cast<uint32_t>(unit))) return true;
  }
  return false;
}

}  // namespace

bool IsSupportedCodePage(int codePage) { return IsListed(codePage) && IsValidCodePage(static_cast<UINT>(codePage)); }

int GetAnsiCodePage() { return static_cast<int>(GetACP()); }

bool ArgumentsAreExact() {
  WideText fromAnsi;
  return CodePageToWide(GetCommandLineA(), GetACP(), &fromAnsi) && wcscmp(fromAnsi.c_str(), GetCommandLineW()) == 0;
}

bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string* out) {
  out->clear();
  WideText text;
  if (!IsSupportedCodePage(codePage) || !Utf8ToWide(utf8, &text)) return false;
  if (codePage == kCodePageUtf8) {
    *out = utf8;
    return true;
  }
  if (HasRefusedCharacter(text)) return false;
  return WideToCodePageExactly(text, static_cast<unsigned>(codePage), out);
}

bool CodePageToUtf8(const std::string& bytes, int codePage, std::string* utf8) {
  utf8->clear();
  WideText text;
  if (!IsSupportedCodePage(codePage) || !CodePageToWide(bytes, static_cast<unsigned>(codePage), &text)) {
    return false;
  }
  if (codePage == kCodePageUtf8) {
    *utf8 = bytes;
    return true;
  }
  if (HasRefusedCharacter(text)) return false;
  return WideToUtf8(text, utf8);
}

std::string FileNameKey(const std::string& name) {
  // As the ANSI file calls read the name: without MB_ERR_INVALID_CHARS,
  // bytes that are no character of the code page become its default
  // character, so two names that differ only there are one file too.
  const int length = static_cast<int>(name.size());
  const int size = length > 0 ? MultiByteToWideChar(CP_ACP, 0, name.data(), length, nullptr, 0) : 0;
  WideText wide, upper;
  wide.resize(static_cast<size_t>(size > 0 ? size : 0));
  upper.resize(wide.size());
  if (size <= 0 || MultiByteToWideChar(CP_ACP, 0, name.data(), length, wide.data(), size) != size ||
      LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), size, upper.data(), size) != size) {
    return name;
  }
  return std::string(reinterpret_cast<const char*>(upper.c_str()), wide.size() * sizeof(wchar_t));
}

}  // namespace platform
