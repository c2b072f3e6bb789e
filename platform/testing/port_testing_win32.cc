#include <stdlib.h>
#include <string.h>
#include <time.h>

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "port_testing.h"

namespace port_testing {

namespace {

// One argument quoted so that the runtime's parser gives it back unchanged:
// backslashes double only before a quote.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(slashes * 2, '\\');
  return out + "\"";
}

}  // namespace

int CreateLink(const char* link, const char* target, bool isDirectory) {
  // Looked up at run time: programs that never make links keep loading on
  // systems without symbolic links.
  typedef BOOLEAN(WINAPI * CreateSymbolicLinkFn)(LPCSTR, LPCSTR, DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  CreateSymbolicLinkFn create =
      kernel ? reinterpret_cast<CreateSymbolicLinkFn>(
                   reinterpret_cast<void*>(GetProcAddress(kernel, "CreateSymbolicLinkA")))
             : nullptr;
  if (create == nullptr) return -1;
  return create(link, target, isDirectory ? 1 : 0) ? 0 : -1;
}

void SetTimeZone(const char* tz) {
  std::string assignment = std::string("TZ=") + (tz ? tz : "");
  _putenv(assignment.c_str());
  _tzset();
}

void SetEnv(const char* name, const char* value) {
  std::string assignment = std::string(name) + "=" + (value ? value : "");
  _putenv(assignment.c_str());
  SetEnvironmentVariableA(name, value);
}

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& currentDirectory, uint32_t timeoutMs) {
  std::string line = "\"" + program + "\"";
  for (const std::string& arg : arguments) line += " " + Quote(arg);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof(process));
  if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                      currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &process)) {
    return -1;
  }
  int code = -1;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) code = static_cast<int>(exitCode);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

std::string CommandLine(int, char**) { return GetCommandLineA(); }

std::string CurrentDirectory() {
  char buffer[MAX_PATH] = {0};
  DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
  return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

uint32_t ProcessId() { return GetCurrentProcessId(); }

}  // namespace port_testing
