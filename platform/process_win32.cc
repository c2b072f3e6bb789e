// The Windows port's process concern, on KERNEL32.
#include <string.h>

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform.h"
#include "process.h"

namespace platform {

bool GetExecutablePath(std::string* path) {
  char buffer[kMaxPath];
  memset(buffer, 0, sizeof(buffer));
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return false;
  path->assign(buffer, length);
  return true;
}

int MakePrivateDirectory(const char* path) { return CreateDirectoryA(path, nullptr) ? 0 : -1; }

int MarkIfExecutable(const char*, const unsigned char*, int, bool) { return 0; }

ProcessResult RunAndWait(const char* program) {
  // The full path both as the program to run and, quoted, as the command
  // line: a path with spaces can neither run a truncated name nor split the
  // program's first argument.
  std::string line = std::string("\"") + program + "\"";
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof(process));
  if (!CreateProcessA(program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    DWORD error = GetLastError();
    ProcessResult::Kind kind = ProcessResult::kNotStarted;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) kind = ProcessResult::kNotFound;
    if (error == ERROR_BAD_EXE_FORMAT || error == ERROR_ACCESS_DENIED) kind = ProcessResult::kNotExecutable;
    return {kind, 0, error};
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return {ProcessResult::kExited, exitCode, 0};
}

}  // namespace platform
