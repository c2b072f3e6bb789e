#include "temp_directory.h"

#include <windows.h>

#include "wide_text.h"

namespace platform {

namespace {

// `wide` in the ANSI code page, exactly, with a closing '\', in fewer than
// MAX_PATH bytes.
bool ToAnsiDirectory(std::wstring wide, std::string* path) {
  if (wide.empty()) return false;
  if (wide.back() != L'\\') wide.push_back(L'\\');
  std::string bytes;
  if (!WideToCodePageExactly(wide, GetACP(), &bytes) || bytes.size() >= MAX_PATH) return false;
  path->swap(bytes);
  return true;
}

}  // namespace

bool GetAnsiTempDirectory(std::string* path) {
  path->clear();
  wchar_t buffer[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return false;
  const std::wstring longForm(buffer, n);
  if (ToAnsiDirectory(longForm, path)) return true;
  // A long form that needs characters outside the ANSI code page (or too
  // many bytes in it) may still have a short form that does not.
  n = GetShortPathNameW(longForm.c_str(), buffer, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return false;
  return ToAnsiDirectory(std::wstring(buffer, n), path);
}

}  // namespace platform
