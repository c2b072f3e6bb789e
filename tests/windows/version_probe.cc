// Reads a program's version information and icons back through Windows'
// own calls, for the branding test: GetFileVersionInfo and VerQueryValue
// for the strings, the translation and the fixed versions; the main icon
// group (the first RT_GROUP_ICON), LookupIconIdFromDirectoryEx,
// CreateIconFromResourceEx and GetIconInfo for its images; the manifest.
//
// Usage: version_probe FILE REPORT. Writes REPORT in UTF-8, one fact a line:
//   translation=040904b0
//   string KEY=VALUE        (each of the standard keys the table holds)
//   fixed file=A.B.C.D product=A.B.C.D
//   icons=N                 (the images the main group names)
//   icon SIZE=WIDTHxHEIGHT  (the image chosen for SIZE, at its own size)
//   manifest asInvoker      (when the manifest asks for it)
// Exits 0 when the file could be read, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t* const kKeys[] = {L"CompanyName",    L"FileDescription", L"FileVersion",      L"InternalName",
                                L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename", L"ProductName",
                                L"ProductVersion", L"Comments",        L"PrivateBuild",     L"SpecialBuild"};

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::string Version(DWORD high, DWORD low) {
  char text[64];
  snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu", high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF);
  return text;
}

bool ReportVersion(const std::wstring& file, FILE* report) {
  DWORD ignored = 0, size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<char> data(size);
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return false;
  WORD* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 4) {
    return false;
  }
  wchar_t table[16];
  swprintf(table, 16, L"%04x%04x", translation[0], translation[1]);
  fprintf(report, "translation=%s\n", Utf8(table).c_str());
  for (const wchar_t* key : kKeys) {
    std::wstring path = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + key;
    wchar_t* value = nullptr;
    if (VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) && value != nullptr) {
      fprintf(report, "string %s=%s\n", Utf8(key).c_str(), Utf8(value).c_str());
    }
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof(*fixed)) {
    return false;
  }
  fprintf(report, "fixed file=%s product=%s\n", Version(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str(),
          Version(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
  return true;
}

BOOL CALLBACK TakeFirst(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  *reinterpret_cast<LPWSTR*>(found) = IS_INTRESOURCE(name) ? name : _wcsdup(name);
  return FALSE;
}

void* ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type, DWORD* size) {
  HRSRC resource = FindResourceW(module, name, type);
  if (resource == nullptr) return nullptr;
  *size = SizeofResource(module, resource);
  return LockResource(LoadResource(module, resource));
}

void ReportIcons(HMODULE module, FILE* report) {
  LPWSTR group = nullptr;
  EnumResourceNamesW(module, MAKEINTRESOURCEW(14), TakeFirst, reinterpret_cast<LONG_PTR>(&group));
  DWORD size = 0;
  auto* directory =
      static_cast<BYTE*>(group == nullptr ? nullptr : ResourceBytes(module, group, MAKEINTRESOURCEW(14), &size));
  if (directory == nullptr || size < 6) return;
  fprintf(report, "icons=%u\n", directory[4] | directory[5] << 8);
  for (int want : {16, 32, 256}) {
    int id = LookupIconIdFromDirectoryEx(directory, TRUE, want, want, LR_DEFAULTCOLOR);
    DWORD imageSize = 0;
    auto* image = static_cast<BYTE*>(ResourceBytes(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3), &imageSize));
    // A width and height of 0 without LR_DEFAULTSIZE give the resource's
    // actual size (Microsoft's documentation of CreateIconFromResourceEx);
    // asked for want x want, it would scale whichever image was chosen.
    HICON icon = image == nullptr ? nullptr : CreateIconFromResourceEx(image, imageSize, TRUE, 0x00030000, 0, 0, 0);
    ICONINFO info;
    BITMAP bitmap;
    if (icon == nullptr || !GetIconInfo(icon, &info) || GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap) == 0) {
      fprintf(report, "icon %d=unreadable\n", want);
      continue;
    }
    fprintf(report, "icon %d=%ldx%ld\n", want, bitmap.bmWidth, bitmap.bmHeight);
  }
}

void ReportManifest(HMODULE module, FILE* report) {
  DWORD size = 0;
  auto* text = static_cast<const char*>(ResourceBytes(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24), &size));
  if (text != nullptr && std::string(text, size).find("level=\"asInvoker\"") != std::string::npos) {
    fprintf(report, "manifest asInvoker\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::wstring file(MAX_PATH, L'\0');
  file.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, argv[1], -1, &file[0], MAX_PATH)) - 1);
  FILE* report = fopen(argv[2], "wb");
  if (report == nullptr) return 1;
  bool ok = ReportVersion(file, report);
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module != nullptr) {
    ReportIcons(module, report);
    ReportManifest(module, report);
  }
  fclose(report);
  return ok && module != nullptr ? 0 : 1;
}
