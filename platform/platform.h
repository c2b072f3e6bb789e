// The port: everything the library, the launcher and the packer take from
// the operating system, in the project's own terms.
//
// CMake compiles exactly one implementation: platform_win32.cc (KERNEL32 and
// msvcrt) or platform_posix.cc (POSIX). No other file names a system type or
// call, and no other file asks which system it is built for.
//
// Paths are byte strings with '\' as separator: on Windows in the ANSI code
// page, handed to the A functions as they stand; on POSIX every '\' becomes
// '/' at the system call (NativePath) and every other byte is left alone.
//
// Results: functions named after a runtime call return 0 on success and -1
// on failure, as that call does; the others say what they return. No
// function keeps state between calls, and all may be called from any thread
// unless they say otherwise.
#ifndef LM_PLATFORM_PLATFORM_H_
#define LM_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

namespace platform {

// The longest path the ANSI file functions take, its NUL included.
const int kMaxPath = 260;

enum class System { kWindows, kPosix };
// The system this build runs on, for the few tables that have a column per
// system (the launcher's exit codes).
System ThisSystem();

// ---- locks, clock, threads ----

// A re-entrant lock: the holder may enter again and leaves once per entry.
// Not copyable; must be left by its holder before it is destroyed.
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void Enter();
  // One attempt that never blocks: true when the caller now holds the lock.
  bool TryEnter();
  void Leave();

 private:
  // The system's lock object lives here, so that objects carrying locks
  // need no allocation of their own.
  alignas(8) unsigned char storage_[40];
};

// Milliseconds since an arbitrary start; wraps around every 2^32 ms.
uint32_t TickCount();
void SleepMs(uint32_t milliseconds);
// Hardware threads of this machine, at least 1.
int ProcessorCount();

// ---- calendar time of the runtime (64-bit seconds since 1970 UTC) ----

int64_t Time64();
// Breaks seconds down into local or UTC calendar fields; false when the
// runtime cannot represent the instant.
bool LocalTime64(int64_t seconds, struct tm* out);
bool GmTime64(int64_t seconds, struct tm* out);
// Local calendar fields to seconds, normalising `fields`; -1 when the
// runtime cannot represent them (msvcrt's range, 1970 to 3000, on both).
int64_t MkTime64(struct tm* fields);

// ---- files by path ----

// The path as the system's own calls take it.
std::string NativePath(const char* path);
// fopen() with a C runtime mode text ("rb", "wb", "ab+", "rb+"); a
// directory is never opened. Null on failure.
FILE* OpenFile(const char* path, const char* modeText);
// Whether the last failed file call of this thread failed for lack of disk
// space. Read it right after the failure.
bool LastFileErrorWasDiskFull();

// access(): mode 0 existence, 2 write, 4 read. A file whose owner-write bit
// is clear is never writable, whoever asks (Windows' read-only attribute);
// a directory always is.
int Access(const char* path, int mode);
enum class CreateResult { kCreated, kExists, kFailed };
// Creates a new empty file readable and writable by its owner; never
// truncates one that exists, also when another process makes it first.
CreateResult CreateNewFile(const char* path);
// Deletes a file (never a directory) / an empty directory / makes one
// directory level / moves an entry, failing when `to` exists.
int RemoveFile(const char* path);
int RemoveEmptyDirectory(const char* path);
int MakeDirectory(const char* path);
int Rename(const char* from, const char* to);

struct StatInfo {
  uint32_t mode;   // type bits (0x4000 directory, 0x8000 regular) and 0x1C0 owner bits
  int64_t mtime;   // seconds since 1970-01-01 00:00:00 UTC
  uint32_t size;   // low 32 bits of the size; 0 for a directory
};
// stat() following links. A path ending in '\' fails for anything but a
// drive root; on Windows directories and .exe/.com/.bat/.cmd names report
// the owner-execute bit.
int Stat(const char* path, StatInfo* info);
// chmod(): on Windows only the owner-write bit (0x80) has an effect.
int Chmod(const char* path, int mode);

enum class SetTimeResult { kDone, kBadTime, kOpenFailed, kSetFailed, kCloseFailed };
// Sets the last-write time to `seconds` since 1970 UTC plus `milliseconds`.
// kBadTime for an instant the system cannot store (before 1601), kOpenFailed
// when the file cannot be opened for writing (also a read-only file).
SetTimeResult SetModifiedTime(const char* path, int64_t seconds, int milliseconds);

// ---- entries as they are on disk, links not followed ----

enum class EntryType { kMissing, kFile, kDirectory, kLink, kOther };
struct EntryInfo {
  EntryType type;
  uint64_t size;  // full size of a regular file, else 0
};
// A symbolic link, junction or other reparse point reports kLink.
EntryInfo GetEntryInfo(const char* path);
// Removes a link itself, never what it points to.
int RemoveLink(const char* path);

// Calls `visit` with the bare name of every entry of one directory level,
// "." and ".." left out, in the order the system lists them. False when
// the directory cannot be listed at all.
bool ForEachEntry(const char* directory, const std::function<void(const char* name)>& visit);
// The long form of an existing path (Windows expands 8.3 components; POSIX
// gives the path back). False when the path does not exist or the long form
// does not fit in kMaxPath.
bool GetLongPath(const char* path, std::string* longPath);

// ---- what the launcher needs of its process ----

// The running executable's full path; false when it is unknown or does
// not fit in kMaxPath.
bool GetExecutablePath(std::string* path);
// The user's temporary directory with its closing separator, as the
// system reports it; false when it is unknown or too long for kMaxPath.
bool GetTempDirectory(std::string* path);
// Creates a directory readable only by the user where the system has such
// a notion; fails when it exists.
int MakePrivateDirectory(const char* path);
// Called for every file the launcher unpacked, with its first bytes. Where
// the system needs an execute bit, the launch target and files that start
// like a program (an ELF header or "#!") get the owner-execute bit.
int MarkIfExecutable(const char* path, const unsigned char* head, int headLength, bool isLaunchTarget);

struct ProcessResult {
  enum Kind { kExited, kNotFound, kNotExecutable, kNotStarted } kind;
  uint32_t exitCode;     // kExited: the exit code; 128 + signal when killed
  uint32_t systemError;  // otherwise: the system's error number, 0 if none
};
// Starts `program` with its quoted full path as its only command-line text
// (argv = {program} on POSIX), this process's environment and current
// directory, and waits for it without limit.
ProcessResult RunAndWait(const char* program);

bool IsTerminal(FILE* stream);

}  // namespace platform

#endif  // LM_PLATFORM_PLATFORM_H_
