// The port: what the library, the launcher and the packer take from the
// operating system, in the project's own terms. This header holds files,
// directories, time, locks and threads; process.h the launcher's process
// needs.
//
// CMake compiles exactly one implementation of each: *_win32.cc (KERNEL32
// and msvcrt) or *_posix.cc (POSIX), and the internals of each in win32/
// or posix/. Apart from the launcher's process entries
// (launcher/entry_*.cc, also chosen by CMake), no other file names a system
// type or call, and no other file asks which system it is built for.
//
// Paths are byte strings with '\' as separator: on Windows in the ANSI code
// page, handed to the A functions as they stand; on POSIX every '\' becomes
// '/' at the system call (NativePath) and every other byte is left alone.
//
// Results: functions named after a runtime call return 0 on success and -1
// on failure, as that call does; the others say what they return. Every
// function may be called from any thread.
#ifndef LM_PLATFORM_PLATFORM_H_
#define LM_PLATFORM_PLATFORM_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

namespace platform {

// The longest path the ANSI file functions take, its NUL included.
const int kMaxPath = 260;

// The system this build runs on, for tables with a column per system.
enum class System { kWindows, kPosix };
System ThisSystem();

// ---- locks, clock, threads ----
// Room for a system object that lives inside a class (a lock, a condition
// variable), so that making one allocates nothing. Each port reads the bytes
// as its own type through As<T>(), which checks at compile time that the
// type fits in size and alignment. Such an object must stay at the address
// where it was initialised, so the room cannot be copied or moved, and
// neither can a class that holds one.
template <size_t kBytes>
class InPlace {
 public:
  InPlace() = default;
  InPlace(const InPlace&) = delete;
  InPlace& operator=(const InPlace&) = delete;

  template <typename T>
  T* As() {
    static_assert(sizeof(T) <= kBytes && alignof(T) <= kAlignment, "the room is too small for this system object");
    return reinterpret_cast<T*>(bytes_);
  }

 private:
  static constexpr size_t kAlignment = 8;
  alignas(kAlignment) unsigned char bytes_[kBytes];
};

// A re-entrant lock: the holder may enter again and leaves once per entry.
// Neither copied nor moved (InPlace).
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();

  void Enter();
  // One attempt that never blocks: true when the caller now holds the lock.
  bool TryEnter();
  void Leave();

 private:
  InPlace<40> system_;
};

// A lock that is not re-entrant, for data shared between threads. Lock
// blocks until the calling thread holds it; the calling thread must not
// hold it already. Unlock is called by the holder only. No order among
// waiting threads is promised. Destroyed only when no thread holds it or
// waits for it. Neither copied nor moved (InPlace).
class Mutex {
 public:
  Mutex();
  ~Mutex();

  void Lock();
  void Unlock();

 private:
  friend class ConditionVariable;  // waits on the system's lock object
  InPlace<40> system_;
};

// Holds a mutex from construction to destruction, also when an exception
// leaves the scope. Unlock and Lock let it go and take it again within the
// scope; the destructor unlocks only if held.
class MutexLock {
 public:
  explicit MutexLock(Mutex* mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() {
    if (held_) mutex_->Unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void Unlock() {
    mutex_->Unlock();
    held_ = false;
  }
  void Lock() {
    mutex_->Lock();
    held_ = true;
  }
  Mutex* mutex() const { return mutex_; }

 private:
  Mutex* mutex_;
  bool held_ = true;
};

// Wakes threads that wait for a condition of data guarded by a Mutex.
// Neither copied nor moved (InPlace).
class ConditionVariable {
 public:
  ConditionVariable();
  ~ConditionVariable();  // no thread may be waiting

  // The caller holds `lock`'s mutex. Lets it go, sleeps until notified and
  // takes it again before returning. A wait may also end without a
  // notification: callers wait in a loop that tests their condition.
  void Wait(MutexLock* lock);
  // Wakes one waiting thread, or all; nothing when none waits. The caller
  // need not hold the mutex, but changes the condition under it.
  void NotifyOne();
  void NotifyAll();

 private:
  InPlace<48> system_;
};

// A thread of this process that runs one function.
class Thread {
 public:
  Thread() = default;
  // A started thread must have been joined.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Runs `body` on a new thread; at most once per Thread. False, with
  // nothing started, when the system gives no thread. `body` must not
  // throw: an exception leaving it ends the process (std::terminate).
  bool Start(std::function<void()> body);
  // Waits until the started thread has returned from `body`. Called once,
  // by another thread, after a successful Start.
  void Join();

 private:
  struct Running;  // the body and the system's handle, per port
  Running* running_ = nullptr;
};

// Milliseconds since an arbitrary start; wraps around every 2^32 ms.
uint32_t TickCount();
void SleepMs(uint32_t milliseconds);
// A number that tells the calling thread from every other running one.
uint64_t CurrentThreadId();
// Hardware threads of this machine, at least 1.
int ProcessorCount();
// Bytes of physical memory this machine has; 0 when the system does not
// tell.
uint64_t PhysicalMemory();
// Bytes of address space this process has not yet taken (on Windows the
// user-mode part; natively what the address-space resource limit leaves);
// 0 when the system sets no bound or does not tell.
uint64_t AddressSpaceLeft();

// ---- calendar time of the runtime (64-bit seconds since 1970 UTC) ----
int64_t Time64();
// Local or UTC calendar fields of an instant; false when the runtime
// cannot represent it.
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
// fseek() to `offset` bytes from `origin` (SEEK_SET, SEEK_CUR, SEEK_END),
// and ftell(), with 64-bit positions on every system: Microsoft's msvcrt
// fseek and ftell take and give a 32-bit long, which cannot reach past
// 2 GiB. 0 or -1; TellFile -1 on failure.
int SeekFile(FILE* file, int64_t offset, int origin = SEEK_SET);
int64_t TellFile(FILE* file);
// Whether this thread's last failed file call failed for lack of disk
// space; asked right after the failure.
bool LastFileErrorWasDiskFull();

// access(): mode 0 existence, 2 write, 4 read. A file whose owner-write bit
// is clear is never writable, whoever asks (Windows' read-only attribute);
// a directory always is.
int Access(const char* path, int mode);
// Whether `directory` is known to be this user's alone, so that nobody
// else may reach, create, rename or remove entries in it, nor in what is
// made inside it whatever its mode: POSIX when this user owns it and
// neither its group nor others may enter it (mode 0700 or less; the mode's
// group bits carry an access-control list's mask, and a default list or a
// setgid group then reach nothing). Windows answers false: an
// access-control list grants such rights in many forms (the folders under
// C:\ let every user add and change entries), and a directory is made
// private by MakePrivateDirectory instead.
bool IsPrivateDirectory(const char* directory);
// What identifies the entry `path` names, itself and not what a link
// names: device and inode (POSIX), volume serial number and file index
// (Windows). Equal identities are one entry, wherever its path now leads.
// False when it cannot be read.
bool GetEntryIdentity(const char* path, uint64_t* volume, uint64_t* index);
enum class CreateResult { kCreated, kExists, kFailed };
// Creates a new empty file readable and writable by its owner; never
// truncates one that exists, also when another process makes it first.
CreateResult CreateNewFile(const char* path);
// A file (never a directory); an empty directory; one directory level; a
// move that fails when `to` exists.
int RemoveFile(const char* path);
int RemoveEmptyDirectory(const char* path);
int MakeDirectory(const char* path);
int Rename(const char* from, const char* to);

struct StatInfo {
  uint32_t mode;  // type bits (0x4000 directory, 0x8000 regular) and 0x1C0 owner bits
  int64_t mtime;  // seconds since 1970-01-01 00:00:00 UTC
  uint32_t size;  // low 32 bits of the size; 0 for a directory
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
// gives the path back). False when the path does not exist, the long form
// does not fit in kMaxPath or cannot be written in the ANSI code page.
bool GetLongPath(const char* path, std::string* longPath);

bool IsTerminal(FILE* stream);

// ---- text ----
// vsnprintf() as C99 has it: at most `size` bytes into `buffer`, the last
// always a NUL (nothing when `size` is 0); returns the length of the whole
// formatted text, or a negative number when the format cannot be applied.
// On Windows the conversions are msvcrt's, not MinGW's (which would add
// some 25 KB of formatting code to the launcher): formats keep to what both
// runtimes read alike, the conversions d i u o x X c s p and %% with flags,
// width and precision, and no length modifier but h and l. msvcrt knows no
// z, j or t, and takes ll only on newer systems: wider integers are
// formatted otherwise.
int FormatText(char* buffer, size_t size, const char* format, va_list args);

}  // namespace platform

#endif  // LM_PLATFORM_PLATFORM_H_
