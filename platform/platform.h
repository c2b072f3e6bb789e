// What the library and the launcher take from the operating system.
//
// Each port supplies everything declared here and in its own
// lm_platform_types.h (CMake puts exactly one port's folder on the include
// path and compiles exactly one of platform_win32.cc / platform_posix.cc):
//
//  * The Windows names the code calls directly (CRITICAL_SECTION and its
//    functions, GetTickCount, Sleep, FindFirstFileA, GetLongPathNameA,
//    CreateFileA, SetFileTime, CreateProcessA, WaitForSingleObject, ...).
//    The Windows port is KERNEL32 itself; the POSIX port implements the same
//    calls with the Windows meaning on Windows-style paths.
//  * The runtime calls below, whose names and details differ between msvcrt
//    and POSIX.
//
// Paths are byte strings in the ANSI code page and use '\' as separator. The
// POSIX port turns every '\' into '/' at the system call and leaves every
// other byte alone; a path that needs a real '\' cannot be named there.
#ifndef LM_PLATFORM_PLATFORM_H_
#define LM_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "lm_platform_types.h"

namespace platform {

// ---- runtime file functions; results as in the C runtime: 0 or a
// descriptor on success, -1 on failure ----

// access(): mode 0 existence, 2 write, 4 read. As on Windows, a file whose
// owner-write bit is clear is never writable (whoever the caller is), and a
// directory is.
int Access(const char* path, int mode);
// Creates a new empty file with permission bits `pmode`, failing when
// anything of that name already exists (never truncates). Returns an open
// descriptor or -1.
int CreateNewFile(const char* path, int pmode);
int CloseFd(int fd);
// Deletes a file; never a directory.
int RemoveFile(const char* path);
// Creates one directory level.
int MakeDir(const char* path);
// Moves `from` to `to`; fails when `to` exists.
int RenamePath(const char* from, const char* to);

struct StatInfo {
  uint32_t mode;   // type bits (0x4000 directory, 0x8000 regular) and 0x1C0 owner bits
  int64_t mtime;   // seconds since 1970-01-01 00:00:00 UTC
  uint32_t size;   // low 32 bits of the size
};
// stat() following links. On Windows a path ending in '\' fails for
// anything but a drive root, and the owner-execute bit is reported for
// directories and for .exe/.com/.bat/.cmd names.
int Stat(const char* path, StatInfo* info);
// chmod(): on Windows only the owner-write bit (0x80) has an effect.
int Chmod(const char* path, int mode);

// The path as the system's own calls take it, for libraries that open files
// themselves (bzip2's BZ2_bzopen).
std::string NativePath(const char* path);

// fopen() with a mode text of the C runtime ("rb", "wb", "ab+", "rb+").
FILE* OpenFile(const char* path, const char* modeText);

// ---- 64-bit time of the runtime ----
int64_t Time64();
// Break seconds down into local or UTC calendar fields; false when the
// runtime cannot.
bool LocalTime64(int64_t seconds, struct tm* out);
bool GmTime64(int64_t seconds, struct tm* out);
// Local calendar fields to seconds, normalising `fields`; -1 on failure.
int64_t MkTime64(struct tm* fields);
// Sets the TZ environment variable (null removes it) and re-reads the zone.
void SetTimeZone(const char* tz);

// ---- entries as they are on disk, links not followed ----
enum class EntryType { kMissing, kFile, kDirectory, kLink, kOther };
struct EntryInfo {
  EntryType type;
  uint64_t size;  // full size of a regular file, else 0
};
// A symbolic link, junction or any other reparse point reports kLink.
EntryInfo GetEntryInfo(const char* path);
// Removes a link itself (never what it points to). 0 or -1.
int RemoveLink(const char* path);

// ---- launcher support ----

// Creates the launcher's working directory, readable only by the user where
// the platform has such a notion. 0 or -1 (also when it already exists).
int MakePrivateDirectory(const char* path);

// Called for every file the launcher unpacked, with the file's first bytes.
// The payload carries no permission bits: where the platform needs an
// execute bit, the launch target and files that start like a program
// (an ELF header or "#!") get the owner-execute bit. 0 or -1.
int MarkIfExecutable(const char* path, const unsigned char* head, int headLength,
                     bool isLaunchTarget);

// Why the launcher could not do its job.
enum class LaunchFailure {
  kOwnFileUnreadable,  // its own executable cannot be opened
  kBadPayload,         // missing, truncated or unsafe payload
  kCannotMake,         // no temp directory, or working directory/staging file not made
  kWriteFault,         // an unpacked file could not be written completely
  kDiskFull,           // ... because the disk is full
  kCorruptData,        // the compressed data does not decompress to the table
};
// The process exit code for a failure of the launcher itself.
int ExitCodeFor(LaunchFailure failure);
// The process exit code when CreateProcessA failed with `error`.
int ExitCodeForStartFailure(DWORD error);
// Turns what GetExitCodeProcess reported into the launcher's exit code.
int ExitCodeForProcess(DWORD processExitCode);

// ---- odds and ends for tools and tests ----
// Makes a symbolic link at `link` pointing to `target`. 0 or -1 (also where
// the platform or the caller's rights do not allow links).
int CreateLink(const char* link, const char* target, bool isDirectory);
bool IsTerminal(FILE* stream);
// Sets or (value null) removes an environment variable of this process.
void SetEnv(const char* name, const char* value);
// Directory of temporary files, without a closing separator.
void GetTempDirectory(char* buffer, int size);

}  // namespace platform

#endif  // LM_PLATFORM_PLATFORM_H_
