// The port's process concern: what the launcher needs of the process it
// runs in and of the program it starts. Implemented by process_win32.cc
// (KERNEL32) or process_posix.cc; paths as in platform.h.
#ifndef LM_PLATFORM_PROCESS_H_
#define LM_PLATFORM_PROCESS_H_

#include <cstdint>
#include <string>

namespace platform {

// The running executable's full path; false when unknown or too long for
// kMaxPath. (The temp directory: temp_directory.h.)
bool GetExecutablePath(std::string* path);
// Creates a directory that only the user can reach, failing when it exists.
// POSIX: mode 0700. Windows: an explicit, protected security descriptor
// granting full control to the current user, SYSTEM and Administrators and
// nothing to anyone else, inherited by everything made inside; nothing is
// inherited from the parent (a temp directory such as C:\Windows\Temp lets
// every local user create files). Fails rather than create a directory with
// weaker rights when the descriptor cannot be built.
int MakePrivateDirectory(const char* path);
// Called for every file the launcher unpacked, with its first bytes. Where
// the system needs an execute bit, the launch target and files that start
// like a program (an ELF header or "#!") get the owner-execute bit.
int MarkIfExecutable(const char* path, const unsigned char* head, int headLength, bool isLaunchTarget);

// How a program is started. POSIX knows one way, and takes every method as
// kDirect.
enum class StartMethod {
  // The program itself: CreateProcessA with its quoted full path as the
  // command line; posix_spawn with argv = {program}.
  kDirect,
  // Windows: through the shell (ShellExecuteExA, no verb), which shows the
  // elevation prompt when the program's manifest or the system's installer
  // detection asks for administrator rights, and only then.
  kShell,
  // Windows: a Windows Installer package, started as
  // "<system directory>\msiexec.exe" /i "<program>".
  kInstallerPackage,
};

struct ProcessResult {
  enum Kind {
    kExited,  // exitCode holds the program's exit code
    kNotFound,
    kNotExecutable,
    kNotStarted,
    kElevationRequired,  // kDirect only: the program needs rights this process lacks
    kStartedUnwatched,   // kShell only: started, but the shell gave no process to wait for
  } kind;
  uint32_t exitCode;     // kExited: the exit code; 128 + signal when killed
  uint32_t systemError;  // not started: the system's error number, 0 if none
};
// Starts `program` (a full path) with this process's environment and
// current directory and waits for it without limit.
ProcessResult RunAndWait(const char* program, StartMethod method);

}  // namespace platform

#endif  // LM_PLATFORM_PROCESS_H_
