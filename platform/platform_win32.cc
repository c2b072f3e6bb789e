// The Windows port: platform.h on KERNEL32 and msvcrt.
#include <direct.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "platform/win32/windows_api.h"

#include "platform/platform.h"

namespace platform {

namespace {

// Spin 1024 times before blocking; the high bit asks Windows to allocate the
// wait event at once.
const DWORD kSpinCount = 0x80000400;

// msvcrt refuses a path that ends in a separator unless it is a root; Wine's
// accepts it. Refusing it here gives the same answer on both.
bool EndsInSeparatorBelowRoot(const char* path) {
  size_t n = strlen(path);
  if (n < 2 || (path[n - 1] != '\\' && path[n - 1] != '/')) return false;
  return !(n == 3 && path[1] == ':');
}

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

// The UTC breakdown of any instant, by arithmetic.
struct tm BreakDown(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  struct tm fields = CivilFromDays(days);
  fields.tm_hour = static_cast<int>(rest / 3600);
  fields.tm_min = static_cast<int>(rest % 3600 / 60);
  fields.tm_sec = static_cast<int>(rest % 60);
  return fields;
}

}  // namespace

System ThisSystem() { return System::kWindows; }

RecursiveLock::RecursiveLock() { InitializeCriticalSectionAndSpinCount(system_.As<CRITICAL_SECTION>(), kSpinCount); }
RecursiveLock::~RecursiveLock() { DeleteCriticalSection(system_.As<CRITICAL_SECTION>()); }
void RecursiveLock::Enter() { EnterCriticalSection(system_.As<CRITICAL_SECTION>()); }
bool RecursiveLock::TryEnter() { return TryEnterCriticalSection(system_.As<CRITICAL_SECTION>()) != 0; }
void RecursiveLock::Leave() { LeaveCriticalSection(system_.As<CRITICAL_SECTION>()); }

uint32_t TickCount() { return GetTickCount(); }
void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

int ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

uint64_t PhysicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof(status);
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

// ullAvailVirtual: the unreserved and uncommitted part of this process's
// user-mode address space (2 GiB for a 32-bit program, 4 GiB for a
// large-address-aware one under WOW64, terabytes for a 64-bit one).
uint64_t AddressSpaceLeft() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof(status);
  return GlobalMemoryStatusEx(&status) ? status.ullAvailVirtual : 0;
}

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
  // msvcrt refuses instants before 1970; the UTC breakdown is plain
  // arithmetic, so it is done here (back to 1900).
  const int64_t kEarliestBreakdown = -2208988800LL;  // 1900-01-01 00:00:00 UTC
  if (seconds >= 0 || seconds < kEarliestBreakdown) return false;
  *out = BreakDown(seconds);
  return true;
}

int64_t MkTime64(struct tm* fields) { return static_cast<int64_t>(_mktime64(fields)); }

std::string NativePath(const char* path) { return std::string(path ? path : ""); }

FILE* OpenFile(const char* path, const char* modeText) { return fopen(path, modeText); }

// MinGW-w64's fseeko64 and ftello64 work on msvcrt's 64-bit fpos_t
// (fgetpos/fsetpos), never on its 32-bit fseek and ftell.
int SeekFile(FILE* file, int64_t offset, int origin) { return fseeko64(file, offset, origin) == 0 ? 0 : -1; }

int64_t TellFile(FILE* file) { return ftello64(file); }

bool LastFileErrorWasDiskFull() {
  DWORD error = GetLastError();
  return errno == ENOSPC || error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

int Access(const char* path, int mode) { return _access(path, mode & 6); }

CreateResult CreateNewFile(const char* path) {
  int fd = _open(path, _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
  _close(fd);
  return CreateResult::kCreated;
}

int RemoveFile(const char* path) { return remove(path); }
int RemoveEmptyDirectory(const char* path) { return RemoveDirectoryA(path) ? 0 : -1; }
bool IsPrivateDirectory(const char*) { return false; }

bool GetEntryIdentity(const char* path, uint64_t* volume, uint64_t* index) {
  HANDLE handle =
      CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool read = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!read) return false;
  *volume = info.dwVolumeSerialNumber;
  *index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

int MakeDirectory(const char* path) { return _mkdir(path); }
int Rename(const char* from, const char* to) { return rename(from, to); }

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

SetTimeResult SetModifiedTime(const char* path, int64_t seconds, int milliseconds) {
  struct tm utc = BreakDown(seconds);
  SYSTEMTIME system;
  system.wYear = static_cast<WORD>(utc.tm_year + 1900 < 0 ? 0 : utc.tm_year + 1900);
  system.wMonth = static_cast<WORD>(utc.tm_mon + 1);
  system.wDayOfWeek = static_cast<WORD>(utc.tm_wday);
  system.wDay = static_cast<WORD>(utc.tm_mday);
  system.wHour = static_cast<WORD>(utc.tm_hour);
  system.wMinute = static_cast<WORD>(utc.tm_min);
  system.wSecond = static_cast<WORD>(utc.tm_sec);
  system.wMilliseconds = static_cast<WORD>(milliseconds);
  FILETIME fileTime;
  if (utc.tm_year + 1900 > 30827 || milliseconds < 0 || !SystemTimeToFileTime(&system, &fileTime)) {
    return SetTimeResult::kBadTime;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return SetTimeResult::kOpenFailed;
  bool set = SetFileTime(file, nullptr, nullptr, &fileTime) != 0;
  if (!CloseHandle(file)) return SetTimeResult::kCloseFailed;
  return set ? SetTimeResult::kDone : SetTimeResult::kSetFailed;
}

EntryInfo GetEntryInfo(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return {EntryType::kMissing, 0};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return {EntryType::kLink, 0};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {EntryType::kDirectory, 0};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return {EntryType::kOther, 0};
  return {EntryType::kFile, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
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

bool ForEachEntry(const char* directory, const std::function<void(const char* name)>& visit) {
  std::string pattern = std::string(directory) + "\\*.*";
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0) visit(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return true;
}

bool GetLongPath(const char* path, std::string* longPath) {
  char buffer[kMaxPath];
  DWORD length = GetLongPathNameA(path, buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return false;
  // A long component outside the ANSI code page comes back with '?' for the
  // characters it lacks (no real name holds one): such a path names
  // nothing, and the short form the caller has is the one to keep.
  if (strchr(buffer, '?') != nullptr && strchr(path, '?') == nullptr) return false;
  longPath->assign(buffer, length);
  return true;
}

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

// msvcrt's _vscprintf measures; its _vsnprintf writes, but leaves out the
// NUL when the text fills the buffer and returns -1 when it does not fit.
// (<stdio.h> maps vsnprintf to MinGW's own formatter in C++ whatever
// __USE_MINGW_ANSI_STDIO says: libstdc++'s configuration sets it to 1.)
int FormatText(char* buffer, size_t size, const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = _vscprintf(format, measure);
  va_end(measure);
  if (length < 0 || size == 0) return length;
  _vsnprintf(buffer, size, format, args);
  buffer[static_cast<size_t>(length) < size ? static_cast<size_t>(length) : size - 1] = '\0';
  return length;
}

}  // namespace platform
