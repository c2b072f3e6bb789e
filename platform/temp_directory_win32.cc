#include "platform/temp_directory.h"

#include "platform/win32/windows_api.h"

#include "platform/win32/system_library.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// `wide` in the ANSI code page, exactly, with a closing '\', in fewer than
// MAX_PATH bytes.
bool ToAnsiDirectory(WideText wide, std::string* path) {
  if (wide.empty()) return false;
  if (wide.back() != L'\\') wide.push_back(L'\\');
  std::string bytes;
  if (!WideToCodePageExactly(wide, GetACP(), &bytes) || bytes.size() >= MAX_PATH) return false;
  path->swap(bytes);
  return true;
}

// GetTempPath2W where the system has it (Windows 11 and recent updates of
// Windows 10): for a process running as SYSTEM it gives the locked-down
// C:\Windows\SystemTemp instead of C:\Windows\Temp, where every local user
// may create files; for everyone else it answers as GetTempPathW.
DWORD SystemTempPath(DWORD size, wchar_t* buffer) {
  typedef DWORD(WINAPI * GetTempPath2WFn)(DWORD, LPWSTR);
  const GetTempPath2WFn tempPath2 = reinterpret_cast<GetTempPath2WFn>(KernelProcedure("GetTempPath2W"));
  return tempPath2 != nullptr ? tempPath2(size, buffer) : GetTempPathW(size, buffer);
}

}  // namespace

bool GetAnsiTempDirectory(std::string* path) {
  path->clear();
  wchar_t buffer[MAX_PATH + 1];
  DWORD n = SystemTempPath(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return false;
  const WideText longForm(buffer, n);
  if (ToAnsiDirectory(longForm, path)) return true;
  // A long form that needs characters outside the ANSI code page (or too
  // many bytes in it) may still have a short form that does not.
  n = GetShortPathNameW(longForm.c_str(), buffer, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return false;
  return ToAnsiDirectory(WideText(buffer, n), path);
}

}  // namespace platform
