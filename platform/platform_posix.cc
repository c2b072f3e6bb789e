// The POSIX port: platform.h on POSIX calls, with '\' read as '/'.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

namespace {

// Windows' calls refuse a path that ends in a separator unless it is a root.
bool EndsInSeparatorBelowRoot(const char* path) {
  size_t n = strlen(path);
  if (n < 2 || (path[n - 1] != '\\' && path[n - 1] != '/')) return false;
  return !(n == 3 && path[1] == ':');
}

// Read-only for everyone, as the read-only attribute makes a file on Windows.
bool IsReadOnlyFile(const std::string& native) {
  struct stat st;
  return stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

const int64_t kEarliestFileTime = -11644473600LL;  // 1601-01-01, as Windows file times
const int64_t kLatestFileTime = 910670515199LL;    // 30827-12-31 23:59:59

}  // namespace

RecursiveLock::RecursiveLock() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(system_.As<pthread_mutex_t>(), &attributes);
  pthread_mutexattr_destroy(&attributes);
}
RecursiveLock::~RecursiveLock() { pthread_mutex_destroy(system_.As<pthread_mutex_t>()); }
void RecursiveLock::Enter() { pthread_mutex_lock(system_.As<pthread_mutex_t>()); }
bool RecursiveLock::TryEnter() { return pthread_mutex_trylock(system_.As<pthread_mutex_t>()) == 0; }
void RecursiveLock::Leave() { pthread_mutex_unlock(system_.As<pthread_mutex_t>()); }

uint32_t TickCount() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void SleepMs(uint32_t milliseconds) {
  struct timespec wait = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

int ProcessorCount() { return sysconf(_SC_NPROCESSORS_ONLN) > 0 ? static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)) : 1; }

uint64_t PhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  return pages > 0 && pageSize > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) : 0;
}

// The address-space limit (RLIMIT_AS) less the virtual size already
// mapped (/proc/self/statm's first figure, in pages).
uint64_t AddressSpaceLeft() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
  unsigned long long pages = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  const bool read = statm != nullptr && fscanf(statm, "%llu", &pages) == 1;
  if (statm != nullptr) fclose(statm);
  const uint64_t mapped = read ? pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) : 0;
  const uint64_t cap = static_cast<uint64_t>(limit.rlim_cur);
  return mapped < cap ? cap - mapped : 1;
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
  const int64_t kLatest = 32535215999LL;  // 3000-12-31 23:59:59 UTC, as msvcrt
  int64_t seconds = static_cast<int64_t>(mktime(fields));
  return (seconds < 0 || seconds > kLatest) ? -1 : seconds;
}

std::string NativePath(const char* path) {
  std::string native(path ? path : "");
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

FILE* OpenFile(const char* path, const char* modeText) {
  FILE* file = fopen(NativePath(path).c_str(), modeText);
  struct stat st;
  if (file != nullptr && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
    fclose(file);
    errno = EISDIR;
    return nullptr;
  }
  return file;
}

int SeekFile(FILE* file, int64_t offset, int origin) {
  static_assert(sizeof(off_t) == 8, "64-bit file offsets");
  return fseeko(file, static_cast<off_t>(offset), origin) == 0 ? 0 : -1;
}

int64_t TellFile(FILE* file) { return static_cast<int64_t>(ftello(file)); }

bool LastFileErrorWasDiskFull() { return errno == ENOSPC || errno == EDQUOT; }

int Access(const char* path, int mode) {
  std::string native = NativePath(path);
  if ((mode & 2) && IsReadOnlyFile(native)) {
    errno = EACCES;
    return -1;
  }
  // Windows lets anyone write into a directory, whatever its attributes.
  struct stat st;
  if ((mode & 2) && stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) mode &= ~2;
  return access(native.c_str(), mode & 6) == 0 ? 0 : -1;
}

CreateResult CreateNewFile(const char* path) {
  int fd = open(NativePath(path).c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
  close(fd);
  return CreateResult::kCreated;
}

int RemoveFile(const char* path) {
  // unlink refuses a directory, as Windows' remove does: EISDIR on Linux,
  // EPERM where POSIX lets it say so.
  std::string native = NativePath(path);
  if (unlink(native.c_str()) == 0) return 0;
  struct stat st;
  if (errno == EPERM && lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) errno = EISDIR;
  return -1;
}

int RemoveEmptyDirectory(const char* path) { return rmdir(NativePath(path).c_str()); }
bool IsPrivateDirectory(const char* directory) {
  struct stat st;
  return stat(NativePath(directory).c_str(), &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

bool GetEntryIdentity(const char* path, uint64_t* volume, uint64_t* index) {
  struct stat st;
  if (lstat(NativePath(path).c_str(), &st) != 0) return false;
  *volume = static_cast<uint64_t>(st.st_dev);
  *index = static_cast<uint64_t>(st.st_ino);
  return true;
}

int MakeDirectory(const char* path) { return mkdir(NativePath(path).c_str(), 0777); }
int Chmod(const char* path, int mode) { return chmod(NativePath(path).c_str(), mode & 07777); }
int Rename(const char* from, const char* to) {
  std::string a = NativePath(from), b = NativePath(to);
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
  struct stat st;
  if (path == nullptr || *path == '\0' || EndsInSeparatorBelowRoot(path)) {
    errno = ENOENT;
    return -1;
  }
  if (stat(NativePath(path).c_str(), &st) != 0) return -1;
  info->mode = static_cast<uint32_t>(st.st_mode & 0xFFFF);
  info->mtime = static_cast<int64_t>(st.st_mtime);
  info->size = static_cast<uint32_t>(S_ISDIR(st.st_mode) ? 0 : st.st_size);
  return 0;
}

SetTimeResult SetModifiedTime(const char* path, int64_t seconds, int milliseconds) {
  if (seconds < kEarliestFileTime || seconds > kLatestFileTime || milliseconds < 0 || milliseconds > 999) {
    return SetTimeResult::kBadTime;
  }
  std::string native = NativePath(path);
  int fd = IsReadOnlyFile(native) ? -1 : open(native.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return SetTimeResult::kOpenFailed;
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = static_cast<long>(milliseconds) * 1000000L;
  bool set = futimens(fd, times) == 0;
  if (close(fd) != 0) return SetTimeResult::kCloseFailed;
  return set ? SetTimeResult::kDone : SetTimeResult::kSetFailed;
}

EntryInfo GetEntryInfo(const char* path) {
  struct stat st;
  if (lstat(NativePath(path).c_str(), &st) != 0) return {EntryType::kMissing, 0};
  if (S_ISLNK(st.st_mode)) return {EntryType::kLink, 0};
  if (S_ISDIR(st.st_mode)) return {EntryType::kDirectory, 0};
  if (S_ISREG(st.st_mode)) return {EntryType::kFile, static_cast<uint64_t>(st.st_size)};
  return {EntryType::kOther, 0};
}

int RemoveLink(const char* path) { return unlink(NativePath(path).c_str()); }
bool ForEachEntry(const char* directory, const std::function<void(const char* name)>& visit) {
  DIR* dir = opendir(NativePath(directory).c_str());
  if (dir == nullptr) return false;
  while (struct dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    if (strlen(name) < static_cast<size_t>(kMaxPath)) visit(name);
  }
  closedir(dir);
  return true;
}

bool GetLongPath(const char* path, std::string* longPath) {
  struct stat st;
  if (path == nullptr || strlen(path) >= static_cast<size_t>(kMaxPath) || lstat(NativePath(path).c_str(), &st) != 0) {
    return false;
  }
  *longPath = path;
  return true;
}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

int FormatText(char* buffer, size_t size, const char* format, va_list args) {
  return vsnprintf(buffer, size, format, args);
}
System ThisSystem() { return System::kPosix; }

}  // namespace platform
