// The POSIX port: the Windows calls of lm_platform_types.h with their Windows
// meaning, and the runtime calls of platform.h, on Windows-style paths.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform.h"

extern char** environ;

namespace {

using platform::NativePath;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows' stat refuses a path that ends in a separator unless it is a root.
bool EndsInSeparatorBelowRoot(const char* path) {
  size_t n = strlen(path);
  if (n < 2 || !IsSeparator(path[n - 1])) return false;
  return !(n == 3 && path[1] == ':');
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOEXEC: return 193;  // ERROR_BAD_EXE_FORMAT
    default: return ERROR_INVALID_PARAMETER;
  }
}

thread_local DWORD lastError = 0;

// Every HANDLE this port gives out points to one of these.
struct Handle {
  enum Kind { kFile, kFind, kProcess } kind;
  int fd = -1;
  DIR* dir = nullptr;
  std::string folder;
  std::string pattern;
  pid_t pid = 0;
  int status = 0;
  bool waited = false;
  explicit Handle(Kind k) : kind(k) {}
};

Handle* AsHandle(HANDLE h, Handle::Kind kind) {
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return nullptr;
  Handle* handle = static_cast<Handle*>(h);
  return handle->kind == kind ? handle : nullptr;
}

bool IsLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

const int64_t kSecondsFrom1601To1970 = 11644473600LL;

// Splits a command line by the Windows rules: white space separates
// arguments, double quotes group, 2n backslashes before a quote give n.
std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> args;
  const char* p = line ? line : "";
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    std::string arg;
    bool quoted = false;
    while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
      size_t slashes = 0;
      while (*p == '\\') {
        ++slashes;
        ++p;
      }
      if (*p == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2) {
          arg.push_back('"');
        } else {
          quoted = !quoted;
        }
        ++p;
      } else {
        arg.append(slashes, '\\');
        if (*p && (quoted || (*p != ' ' && *p != '\t'))) arg.push_back(*p++);
      }
    }
    args.push_back(arg);
  }
  return args;
}

bool FillFindData(Handle* find, WIN32_FIND_DATAA* data) {
  while (struct dirent* entry = readdir(find->dir)) {
    if (find->pattern != "*.*" && find->pattern != "*" &&
        fnmatch(find->pattern.c_str(), entry->d_name, 0) != 0) {
      continue;
    }
    size_t n = strlen(entry->d_name);
    if (n >= MAX_PATH) continue;
    memcpy(data->cFileName, entry->d_name, n + 1);
    struct stat st;
    std::string full = find->folder + "/" + entry->d_name;
    data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    }
    return true;
  }
  return false;
}

}  // namespace

// ---- KERNEL32 ----

BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* section, DWORD) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  int result = pthread_mutex_init(&section->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  return result == 0;
}

void EnterCriticalSection(CRITICAL_SECTION* section) { pthread_mutex_lock(&section->mutex); }

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
  return pthread_mutex_trylock(&section->mutex) == 0;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) { pthread_mutex_unlock(&section->mutex); }

void DeleteCriticalSection(CRITICAL_SECTION* section) { pthread_mutex_destroy(&section->mutex); }

DWORD GetTickCount() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

void Sleep(DWORD milliseconds) {
  struct timespec wait;
  wait.tv_sec = milliseconds / 1000;
  wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  std::string native = NativePath(pattern);
  size_t slash = native.rfind('/');
  Handle* find = new Handle(Handle::kFind);
  find->folder = slash == std::string::npos ? "." : native.substr(0, slash);
  if (find->folder.empty()) find->folder = "/";
  find->pattern = slash == std::string::npos ? native : native.substr(slash + 1);
  find->dir = opendir(find->folder.c_str());
  if (find->dir == nullptr) {
    SetLastError(ErrorFromErrno(errno));
    delete find;
    return INVALID_HANDLE_VALUE;
  }
  if (!FillFindData(find, data)) {
    closedir(find->dir);
    delete find;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return find;
}

BOOL FindNextFileA(HANDLE h, WIN32_FIND_DATAA* data) {
  Handle* find = AsHandle(h, Handle::kFind);
  if (find == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!FillFindData(find, data)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE h) {
  Handle* find = AsHandle(h, Handle::kFind);
  if (find == nullptr) return FALSE;
  closedir(find->dir);
  delete find;
  return TRUE;
}

DWORD GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size) {
  struct stat st;
  if (shortPath == nullptr || lstat(NativePath(shortPath).c_str(), &st) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  DWORD n = static_cast<DWORD>(strlen(shortPath));
  if (n >= size) return n + 1;
  memmove(longPath, shortPath, n + 1);
  return n;
}

BOOL RemoveDirectoryA(LPCSTR path) {
  if (rmdir(NativePath(path).c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD,
                   HANDLE) {
  if (disposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string native = NativePath(path);
  int flags = O_RDONLY;
  if ((access & GENERIC_WRITE) && (access & GENERIC_READ)) {
    flags = O_RDWR;
  } else if (access & GENERIC_WRITE) {
    flags = O_WRONLY;
  }
  struct stat st;
  // A file without its owner-write bit is read-only, as the read-only
  // attribute makes it on Windows, whoever asks.
  if ((access & GENERIC_WRITE) && stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      !(st.st_mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  int fd = open(native.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  Handle* file = new Handle(Handle::kFile);
  file->fd = fd;
  return file;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (st == nullptr || ft == nullptr || st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 ||
      st->wMonth > 12 || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 ||
      st->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int days = kDays[st->wMonth - 1] + (st->wMonth == 2 && IsLeap(st->wYear) ? 1 : 0);
  if (st->wDay < 1 || st->wDay > days) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t seconds = DaysFromCivil(st->wYear, st->wMonth, st->wDay) * 86400 + st->wHour * 3600 +
                    st->wMinute * 60 + st->wSecond + kSecondsFrom1601To1970;
  uint64_t ticks = static_cast<uint64_t>(seconds) * 10000000u + st->wMilliseconds * 10000u;
  ft->dwLowDateTime = static_cast<DWORD>(ticks);
  ft->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}

BOOL SetFileTime(HANDLE h, const FILETIME*, const FILETIME*, const FILETIME* lastWrite) {
  Handle* file = AsHandle(h, Handle::kFile);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_nsec = UTIME_OMIT;
  if (lastWrite != nullptr) {
    uint64_t ticks = (static_cast<uint64_t>(lastWrite->dwHighDateTime) << 32) | lastWrite->dwLowDateTime;
    times[1].tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / 10000000u) - kSecondsFrom1601To1970);
    times[1].tv_nsec = static_cast<long>(ticks % 10000000u) * 100;
  }
  if (futimens(file->fd, times) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL CloseHandle(HANDLE h) {
  if (h == nullptr || h == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Handle* handle = static_cast<Handle*>(h);
  bool ok = true;
  if (handle->kind == Handle::kFile) ok = close(handle->fd) == 0;
  if (handle->kind == Handle::kFind) return FindClose(h);
  delete handle;
  return ok;
}

DWORD GetModuleFileNameA(void*, LPSTR buffer, DWORD size) {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0 || size == 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  DWORD length = static_cast<DWORD>(n);
  if (length >= size) {
    // Truncated, as Windows does it.
    memcpy(buffer, path, size - 1);
    buffer[size - 1] = '\0';
    SetLastError(122);  // ERROR_INSUFFICIENT_BUFFER
    return size;
  }
  memcpy(buffer, path, length);
  buffer[length] = '\0';
  return length;
}

LPSTR GetCommandLineA() {
  static std::string line;
  if (line.empty()) {
    FILE* file = fopen("/proc/self/cmdline", "rb");
    if (file != nullptr) {
      std::string raw;
      char chunk[4096];
      size_t n;
      while ((n = fread(chunk, 1, sizeof(chunk), file)) > 0) raw.append(chunk, n);
      fclose(file);
      for (size_t start = 0; start < raw.size();) {
        std::string arg(raw.c_str() + start);
        start += arg.size() + 1;
        if (!line.empty()) line.push_back(' ');
        line += arg.find_first_of(" \t") == std::string::npos ? arg : "\"" + arg + "\"";
      }
    }
  }
  return &line[0];
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  char path[4096];
  if (getcwd(path, sizeof(path)) == nullptr) {
    SetLastError(ErrorFromErrno(errno));
    return 0;
  }
  DWORD length = static_cast<DWORD>(strlen(path));
  if (length >= size) return length + 1;
  memcpy(buffer, path, length + 1);
  return length;
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
  const char* dir = getenv("TMPDIR");
  std::string path = (dir != nullptr && *dir) ? dir : "/tmp";
  if (path.back() != '/') path.push_back('/');
  if (path.size() >= size) return static_cast<DWORD>(path.size() + 1);
  memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*,
                    BOOL, DWORD, LPVOID environment, LPCSTR currentDirectory, STARTUPINFOA*,
                    PROCESS_INFORMATION* info) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  std::string program = applicationName ? applicationName : (args.empty() ? "" : args[0]);
  if (program.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  program = NativePath(program.c_str());
  if (args.empty()) args.push_back(program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  std::vector<char*> envp;
  char** env = environ;
  if (environment != nullptr) {
    for (char* p = static_cast<char*>(environment); *p; p += strlen(p) + 1) envp.push_back(p);
    envp.push_back(nullptr);
    env = envp.data();
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::string cwd;
  if (currentDirectory != nullptr) {
    cwd = NativePath(currentDirectory);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  }
  pid_t pid = 0;
  int error;
  if (program.find('/') != std::string::npos) {
    error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env);
  } else {
    error = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), env);
  }
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    SetLastError(ErrorFromErrno(error));
    return FALSE;
  }
  Handle* process = new Handle(Handle::kProcess);
  process->pid = pid;
  info->hProcess = process;
  info->hThread = nullptr;
  info->dwProcessId = static_cast<DWORD>(pid);
  info->dwThreadId = 0;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds) {
  Handle* process = AsHandle(h, Handle::kProcess);
  if (process == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  DWORD start = GetTickCount();
  while (!process->waited) {
    int status = 0;
    pid_t r = waitpid(process->pid, &status, milliseconds == INFINITE ? 0 : WNOHANG);
    if (r == process->pid) {
      process->status = status;
      process->waited = true;
    } else if (r < 0 && errno != EINTR) {
      SetLastError(ErrorFromErrno(errno));
      return WAIT_FAILED;
    } else if (r == 0) {
      if (GetTickCount() - start >= milliseconds) return 0x102;  // WAIT_TIMEOUT
      Sleep(1);
    }
  }
  return WAIT_OBJECT_0;
}

BOOL GetExitCodeProcess(HANDLE h, DWORD* exitCode) {
  Handle* process = AsHandle(h, Handle::kProcess);
  if (process == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!process->waited) {
    *exitCode = 259;  // STILL_ACTIVE
  } else if (WIFSIGNALED(process->status)) {
    *exitCode = 128 + static_cast<DWORD>(WTERMSIG(process->status));
  } else {
    *exitCode = static_cast<DWORD>(WEXITSTATUS(process->status));
  }
  return TRUE;
}

// ---- runtime ----

namespace platform {

std::string NativePath(const char* path) {
  std::string native(path ? path : "");
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

int Access(const char* path, int mode) {
  std::string native = NativePath(path);
  if (mode & 2) {
    struct stat st;
    if (stat(native.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR)) {
      errno = EACCES;
      return -1;
    }
  }
  return access(native.c_str(), mode & 6) == 0 ? 0 : -1;
}

int CreateNewFile(const char* path, int pmode) {
  return open(NativePath(path).c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, pmode);
}

int CloseFd(int fd) { return close(fd); }

int RemoveFile(const char* path) {
  std::string native = NativePath(path);
  struct stat st;
  if (lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return -1;
  }
  return unlink(native.c_str());
}

int MakeDir(const char* path) { return mkdir(NativePath(path).c_str(), 0777); }

int RenamePath(const char* from, const char* to) {
  std::string a = NativePath(from);
  std::string b = NativePath(to);
  if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  struct stat st;
  if (lstat(b.c_str(), &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return rename(a.c_str(), b.c_str());
}

int Stat(const char* path, StatInfo* info) {
  if (path == nullptr || *path == '\0' || EndsInSeparatorBelowRoot(path)) {
    errno = ENOENT;
    return -1;
  }
  struct stat st;
  if (stat(NativePath(path).c_str(), &st) != 0) return -1;
  info->mode = static_cast<uint32_t>(st.st_mode & 0xFFFF);
  info->mtime = static_cast<int64_t>(st.st_mtime);
  info->size = static_cast<uint32_t>(S_ISDIR(st.st_mode) ? 0 : st.st_size);
  return 0;
}

int Chmod(const char* path, int mode) { return chmod(NativePath(path).c_str(), mode & 07777); }

FILE* OpenFile(const char* path, const char* modeText) {
  FILE* file = fopen(NativePath(path).c_str(), modeText);
  if (file == nullptr) return nullptr;
  // Windows' fopen refuses a directory; so does this one.
  struct stat st;
  if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
    fclose(file);
    errno = EISDIR;
    return nullptr;
  }
  return file;
}

int64_t Time64() { return static_cast<int64_t>(time(nullptr)); }

bool LocalTime64(int64_t seconds, struct tm* out) {
  time_t t = static_cast<time_t>(seconds);
  return localtime_r(&t, out) != nullptr;
}

bool GmTime64(int64_t seconds, struct tm* out) {
  time_t t = static_cast<time_t>(seconds);
  return gmtime_r(&t, out) != nullptr;
}

int64_t MkTime64(struct tm* fields) {
  // The Windows runtime's range: 1970-01-01 00:00:00 to 3000-12-31 23:59:59
  // UTC; anything outside it cannot be represented.
  const int64_t kLatest = 32535215999LL;
  int64_t seconds = static_cast<int64_t>(mktime(fields));
  return (seconds < 0 || seconds > kLatest) ? -1 : seconds;
}

void SetTimeZone(const char* tz) {
  if (tz != nullptr) {
    setenv("TZ", tz, 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

EntryInfo GetEntryInfo(const char* path) {
  EntryInfo info{EntryType::kMissing, 0};
  struct stat st;
  if (lstat(NativePath(path).c_str(), &st) != 0) return info;
  if (S_ISLNK(st.st_mode)) {
    info.type = EntryType::kLink;
  } else if (S_ISDIR(st.st_mode)) {
    info.type = EntryType::kDirectory;
  } else if (S_ISREG(st.st_mode)) {
    info.type = EntryType::kFile;
    info.size = static_cast<uint64_t>(st.st_size);
  } else {
    info.type = EntryType::kOther;
  }
  return info;
}

int RemoveLink(const char* path) { return unlink(NativePath(path).c_str()); }

int CreateLink(const char* link, const char* target, bool) {
  return symlink(NativePath(target).c_str(), NativePath(link).c_str());
}

int MakePrivateDirectory(const char* path) { return mkdir(NativePath(path).c_str(), 0700); }

int MarkIfExecutable(const char* path, const unsigned char* head, int headLength, bool isLaunchTarget) {
  bool program = (headLength >= 4 && memcmp(head, "\x7f" "ELF", 4) == 0) ||
                 (headLength >= 2 && head[0] == '#' && head[1] == '!');
  if (!program && !isLaunchTarget) return 0;
  std::string native = NativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return -1;
  return chmod(native.c_str(), (st.st_mode & 07777) | S_IXUSR);
}

int ExitCodeFor(LaunchFailure failure) {
  // The BSD sysexits values.
  switch (failure) {
    case LaunchFailure::kOwnFileUnreadable: return 66;  // EX_NOINPUT
    case LaunchFailure::kBadPayload: return 65;         // EX_DATAERR
    case LaunchFailure::kCannotMake: return 73;         // EX_CANTCREAT
    case LaunchFailure::kWriteFault: return 74;         // EX_IOERR
    case LaunchFailure::kDiskFull: return 74;           // EX_IOERR
    case LaunchFailure::kCorruptData: return 65;        // EX_DATAERR
  }
  return 70;  // EX_SOFTWARE
}

int ExitCodeForStartFailure(DWORD error) {
  // As a shell reports it: 126 found but not executable, 127 not found.
  return (error == ERROR_ACCESS_DENIED || error == 193) ? 126 : 127;
}

int ExitCodeForProcess(DWORD processExitCode) { return static_cast<int>(processExitCode); }

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

void SetEnv(const char* name, const char* value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

void GetTempDirectory(char* buffer, int size) {
  DWORD n = GetTempPathA(static_cast<DWORD>(size), buffer);
  if (n == 0 || n >= static_cast<DWORD>(size)) {
    snprintf(buffer, static_cast<size_t>(size), "/tmp");
    return;
  }
  while (n > 1 && buffer[n - 1] == '/') buffer[--n] = '\0';
}

}  // namespace platform
