// The Windows port's process concern, on KERNEL32; the shell, COM and the
// token query are looked up at run time (system_library.h), so that the
// launcher's only static imports stay KERNEL32 and msvcrt.
#include <string.h>

#include <string>

#include "platform/win32/windows_api.h"
// <shellapi.h> needs <windows.h> before it.
#include <shellapi.h>

#include "platform/platform.h"
#include "platform/process.h"
#include "platform/win32/private_directory.h"
#include "platform/win32/system_library.h"

namespace platform {

namespace {

const DWORD kElevationRequiredError = 740;  // ERROR_ELEVATION_REQUIRED

ProcessResult NotStarted(DWORD error) {
  ProcessResult::Kind kind = ProcessResult::kNotStarted;
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) kind = ProcessResult::kNotFound;
  if (error == ERROR_BAD_EXE_FORMAT || error == ERROR_ACCESS_DENIED) kind = ProcessResult::kNotExecutable;
  return {kind, 0, error};
}

ProcessResult WaitAndClose(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process, &exitCode);
  CloseHandle(process);
  return {ProcessResult::kExited, exitCode, 0};
}

ProcessResult CreateAndWait(const std::string& application, std::string line) {
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof(process));
  if (!CreateProcessA(application.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    DWORD error = GetLastError();
    // CreateProcess never shows the elevation prompt: a program whose
    // manifest asks for administrator rights, or that the system's installer
    // detection takes for an installer, fails here with
    // ERROR_ELEVATION_REQUIRED when this process is not elevated.
    if (error == kElevationRequiredError) return {ProcessResult::kElevationRequired, 0, error};
    return NotStarted(error);
  }
  CloseHandle(process.hThread);
  return WaitAndClose(process.hProcess);
}

// The full path both as the program to run and, quoted, as the command
// line: a path with spaces can neither run a truncated name nor split the
// program's first argument.
ProcessResult RunDirect(const char* program) { return CreateAndWait(program, std::string("\"") + program + "\""); }

// msiexec from the system directory, never through a search path.
ProcessResult RunInstallerPackage(const char* package) {
  char directory[MAX_PATH];
  UINT n = GetSystemDirectoryA(directory, sizeof(directory));
  if (n == 0 || n >= sizeof(directory)) return NotStarted(GetLastError());
  std::string msiexec = std::string(directory, n) + "\\msiexec.exe";
  return CreateAndWait(msiexec, "\"" + msiexec + "\" /i \"" + package + "\"");
}

// ShellExecuteEx with no verb: the shell runs the program's default action
// and, unlike CreateProcess, shows the elevation prompt when the program
// asks for it, and only then ("runas" would elevate every program). The
// shell's documentation asks for COM, apartment-threaded, on the calling
// thread; SEE_MASK_NOASYNC because this thread ends the process soon after.
ProcessResult RunThroughShell(const char* program) {
  typedef BOOL(WINAPI * ShellExecuteExFn)(SHELLEXECUTEINFOA*);
  typedef HRESULT(WINAPI * CoInitializeExFn)(void*, DWORD);
  typedef void(WINAPI * CoUninitializeFn)();
  auto shellExecute = reinterpret_cast<ShellExecuteExFn>(SystemProcedure("shell32.dll", "ShellExecuteExA"));
  if (shellExecute == nullptr) return NotStarted(GetLastError());
  auto initialize = reinterpret_cast<CoInitializeExFn>(SystemProcedure("ole32.dll", "CoInitializeEx"));
  auto uninitialize = reinterpret_cast<CoUninitializeFn>(SystemProcedure("ole32.dll", "CoUninitialize"));
  const DWORD kApartmentThreaded = 0x2, kNoOle1Dde = 0x4;  // COINIT_APARTMENTTHREADED, COINIT_DISABLE_OLE1DDE
  bool initialized = initialize != nullptr && uninitialize != nullptr &&
                     SUCCEEDED(initialize(nullptr, kApartmentThreaded | kNoOle1Dde));

  SHELLEXECUTEINFOA info;
  memset(&info, 0, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program;  // no verb, parameters or directory: as a direct start
  info.nShow = SW_SHOWNORMAL;
  BOOL started = shellExecute(&info);
  DWORD error = started ? 0 : GetLastError();
  ProcessResult result = {ProcessResult::kStartedUnwatched, 0, 0};
  if (!started) {
    result = NotStarted(error);  // ERROR_CANCELLED when the user declined the prompt
  } else if (info.hProcess != nullptr) {
    result = WaitAndClose(info.hProcess);
  }
  if (initialized) uninitialize();
  return result;
}

}  // namespace

bool GetExecutablePath(std::string* path) {
  char buffer[kMaxPath];
  memset(buffer, 0, sizeof(buffer));
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return false;
  path->assign(buffer, length);
  return true;
}

int MakePrivateDirectory(const char* path) {
  std::string sid;
  if (!CurrentUserSid(&sid)) return -1;
  std::string descriptor = PrivateDirectoryDescriptor(sid);
  if (descriptor.empty()) return -1;
  SECURITY_ATTRIBUTES attributes;
  memset(&attributes, 0, sizeof(attributes));
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = &descriptor[0];
  return CreateDirectoryA(path, &attributes) ? 0 : -1;
}

int MarkIfExecutable(const char*, const unsigned char*, int, bool) { return 0; }

ProcessResult RunAndWait(const char* program, StartMethod method) {
  switch (method) {
    case StartMethod::kShell:
      return RunThroughShell(program);
    case StartMethod::kInstallerPackage:
      return RunInstallerPackage(program);
    case StartMethod::kDirect:
      break;
  }
  return RunDirect(program);
}

}  // namespace platform
