#include "platform/utf8_files.h"

#include <string.h>

#include "platform/win32/windows_api.h"

#include "platform/win32/wide_text.h"

namespace platform {

bool ForEachEntryUtf8(const char* directory, const std::function<void(const char* name)>& visit) {
  WideText pattern;
  if (!Utf8ToWide(std::string(directory) + "\\*.*", &pattern)) return false;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool complete = true;
  do {
    const WideText name(data.cFileName);
    if (name.Is(L".") || name.Is(L"..")) continue;
    std::string utf8;
    if (WideToUtf8(name, &utf8)) {
      visit(utf8.c_str());
    } else {
      complete = false;  // an unpaired surrogate: no text names it
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return complete;
}

EntryInfo GetEntryInfoUtf8(const char* path) {
  WideText wide;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Utf8ToWide(path, &wide) || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
    return {EntryType::kMissing, 0};
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return {EntryType::kLink, 0};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {EntryType::kDirectory, 0};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return {EntryType::kOther, 0};
  return {EntryType::kFile, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

FILE* OpenFileUtf8(const char* path, const char* modeText) {
  WideText widePath, wideMode;
  if (!Utf8ToWide(path, &widePath) || !Utf8ToWide(modeText, &wideMode)) return nullptr;
  return _wfopen(widePath.c_str(), wideMode.c_str());
}

}  // namespace platform
