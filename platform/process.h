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

}  // namespace platform

#endif  // LM_PLATFORM_PROCESS_H_
