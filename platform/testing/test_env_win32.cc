#include "platform/testing/test_env.h"

#include "platform/win32/windows_api.h"

#include "platform/win32/wide_text.h"

namespace platform {

bool SetEnvironmentUtf8(const char* name, const char* utf8Value) {
  WideText wideName;
  WideText wideValue;
  if (!Utf8ToWide(name, &wideName)) return false;
  if (utf8Value == nullptr) {
    return SetEnvironmentVariableW(wideName.c_str(), nullptr) || GetLastError() == ERROR_ENVVAR_NOT_FOUND;
  }
  return Utf8ToWide(utf8Value, &wideValue) && SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str());
}

bool GetEnvironmentUtf8(const char* name, std::string* utf8Value) {
  utf8Value->clear();
  WideText wideName;
  if (!Utf8ToWide(name, &wideName)) return false;
  WideText value;
  value.resize(64);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    if (n < value.size()) {
      value.resize(n);
      return WideToUtf8(value, utf8Value);
    }
    value.resize(n);
  }
}

bool MakeDirectoryUtf8(const std::string& utf8Path) {
  WideText path;
  return Utf8ToWide(utf8Path, &path) && CreateDirectoryW(path.c_str(), nullptr);
}

bool RemoveDirectoryUtf8(const std::string& utf8Path) {
  WideText path;
  return Utf8ToWide(utf8Path, &path) && RemoveDirectoryW(path.c_str());
}

bool GetSystemTempPathUtf8(std::string* utf8Path) {
  utf8Path->clear();
  wchar_t buffer[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  return n != 0 && n <= MAX_PATH && WideToUtf8(WideText(buffer, n), utf8Path);
}

}  // namespace platform
