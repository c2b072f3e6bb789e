#include "platform/win32/system_library.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

HMODULE LoadSystemLibrary(const char* dll) {
  HMODULE module = LoadLibraryExA(dll, nullptr, kSearchSystem32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Systems without the search flags (Windows 7 before KB2533623) refuse it
  // as an invalid parameter: name the file by its full path instead, and let
  // its own dependencies be searched from its folder first.
  char directory[MAX_PATH];
  UINT n = GetSystemDirectoryA(directory, sizeof(directory));
  if (n == 0 || n >= sizeof(directory)) return nullptr;
  std::string path = std::string(directory, n) + "\\" + dll;
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void* SystemProcedure(const char* dll, const char* name) {
  HMODULE module = LoadSystemLibrary(dll);
  return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

void* KernelProcedure(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

}  // namespace platform
