// The Windows port: KERNEL32 comes from the system itself; this file maps the
// runtime functions of platform.h onto msvcrt.
#include <direct.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <string>

#include "platform.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows' msvcrt refuses a path that ends in a separator unless it is a
// root; Wine's accepts it. Refusing it here gives the same answer on both.
bool EndsInSeparatorBelowRoot(const char* path) {
  size_t n = strlen(path);
  if (n < 2 || !IsSeparator(path[n - 1])) return false;
  return !(n == 3 && path[1] == ':');
}

// 1900-01-01 00:00:00 UTC.
const int64_t kEarliestBreakdown = -2208988800LL;

// Calendar fields of a day counted from 1970-01-01 (proleptic Gregorian).
struct tm CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  struct tm fields = {};
  fields.tm_year = static_cast<int>(y - 1900);
  fields.tm_mon = static_cast<int>(m - 1);
  fields.tm_mday = static_cast<int>(d);
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  fields.tm_yday = kBefore[m - 1] + static_cast<int>(d) - 1 + (leap && m > 2 ? 1 : 0);
  int64_t weekday = (z - 719468 + 4) % 7;  // 1970-01-01 was a Thursday
  fields.tm_wday = static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
  return fields;
}

}  // namespace

namespace platform {

std::string NativePath(const char* path) { return std::string(path ? path : ""); }

int Access(const char* path, int mode) { return _access(path, mode & 6); }

int CreateNewFile(const char* path, int pmode) {
  return _open(path, _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, pmode & (_S_IREAD | _S_IWRITE));
}

int CloseFd(int fd) { return _close(fd); }

int RemoveFile(const char* path) { return remove(path); }

int MakeDir(const char* path) { return _mkdir(path); }

int RenamePath(const char* from, const char* to) { return rename(from, to); }

int Stat(const char* path, StatInfo* info) {
  if (path == nullptr || *path == '\0' || EndsInSeparatorBelowRoot(path)) {
    errno = ENOENT;
    return -1;
  }
  struct _stat64i32 st;
  if (_stat64i32(path, &st) != 0) return -1;
  info->mode = static_cast<uint32_t>(st.st_mode & 0xFFFF);
  info->mtime = static_cast<int64_t>(st.st_mtime);
  info->size = static_cast<uint32_t>(st.st_size);
  return 0;
}

int Chmod(const char* path, int mode) { return _chmod(path, mode); }

FILE* OpenFile(const char* path, const char* modeText) { return fopen(path, modeText); }

int64_t Time64() { return static_cast<int64_t>(_time64(nullptr)); }

bool LocalTime64(int64_t seconds, struct tm* out) {
  __time64_t t = seconds;
  struct tm* result = _localtime64(&t);
  if (result == nullptr) return false;
  *out = *result;
  return true;
}

bool GmTime64(int64_t seconds, struct tm* out) {
  __time64_t t = seconds;
  struct tm* result = _gmtime64(&t);
  if (result != nullptr) {
    *out = *result;
    return true;
  }
  if (seconds >= 0 || seconds < kEarliestBreakdown) return false;
  // msvcrt refuses instants before 1970; the UTC breakdown is plain
  // arithmetic, so it is done here (back to 1900).
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  *out = CivilFromDays(days);
  out->tm_hour = static_cast<int>(rest / 3600);
  out->tm_min = static_cast<int>(rest % 3600 / 60);
  out->tm_sec = static_cast<int>(rest % 60);
  return true;
}

int64_t MkTime64(struct tm* fields) { return static_cast<int64_t>(_mktime64(fields)); }

void SetTimeZone(const char* tz) {
  std::string assignment = std::string("TZ=") + (tz ? tz : "");
  _putenv(assignment.c_str());
  _tzset();
}

EntryInfo GetEntryInfo(const char* path) {
  EntryInfo info{EntryType::kMissing, 0};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return info;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    info.type = EntryType::kLink;
  } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    info.type = EntryType::kDirectory;
  } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
    info.type = EntryType::kOther;
  } else {
    info.type = EntryType::kFile;
    info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  return info;
}

int RemoveLink(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return -1;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  // A directory link or junction is removed like an empty directory, which
  // removes the link and leaves its target alone.
  BOOL ok = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(path) : DeleteFileA(path);
  return ok ? 0 : -1;
}

int CreateLink(const char* link, const char* target, bool isDirectory) {
  // Looked up at run time: programs that never make links keep loading on
  // systems without symbolic links.
  typedef BOOLEAN(WINAPI * CreateSymbolicLinkFn)(LPCSTR, LPCSTR, DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  CreateSymbolicLinkFn create =
      kernel ? reinterpret_cast<CreateSymbolicLinkFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "CreateSymbolicLinkA")))
             : nullptr;
  if (create == nullptr) return -1;
  return create(link, target, isDirectory ? 1 : 0) ? 0 : -1;
}

int MakePrivateDirectory(const char* path) { return CreateDirectoryA(path, nullptr) ? 0 : -1; }

int MarkIfExecutable(const char*, const unsigned char*, int, bool) { return 0; }

int ExitCodeFor(LaunchFailure failure) {
  switch (failure) {
    case LaunchFailure::kOwnFileUnreadable: return ERROR_OPEN_FAILED;
    case LaunchFailure::kBadPayload: return ERROR_BAD_FORMAT;
    case LaunchFailure::kCannotMake: return ERROR_CANNOT_MAKE;
    case LaunchFailure::kWriteFault: return ERROR_WRITE_FAULT;
    case LaunchFailure::kDiskFull: return ERROR_DISK_FULL;
    case LaunchFailure::kCorruptData: return ERROR_FILE_CORRUPT;
  }
  return ERROR_INVALID_FUNCTION;
}

int ExitCodeForStartFailure(DWORD error) {
  return error != 0 ? static_cast<int>(error) : static_cast<int>(ERROR_FILE_NOT_FOUND);
}

int ExitCodeForProcess(DWORD processExitCode) { return static_cast<int>(processExitCode); }

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void SetEnv(const char* name, const char* value) {
  std::string assignment = std::string(name) + "=" + (value ? value : "");
  _putenv(assignment.c_str());
  SetEnvironmentVariableA(name, value);
}

void GetTempDirectory(char* buffer, int size) {
  DWORD n = GetTempPathA(static_cast<DWORD>(size), buffer);
  if (n == 0 || n >= static_cast<DWORD>(size)) {
    snprintf(buffer, static_cast<size_t>(size), "C:\\");
    return;
  }
  while (n > 3 && IsSeparator(buffer[n - 1])) buffer[--n] = '\0';
}

}  // namespace platform
