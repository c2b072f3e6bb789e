#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "platform/win32/windows_api.h"

#include "platform/testing/port_testing.h"
#include "platform/win32/private_directory.h"
#include "platform/win32/wide_text.h"

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
  CreateSymbolicLinkFn create = kernel ? reinterpret_cast<CreateSymbolicLinkFn>(
                                             reinterpret_cast<void*>(GetProcAddress(kernel, "CreateSymbolicLinkA")))
                                       : nullptr;
  if (create == nullptr) return -1;
  return create(link, target, isDirectory ? 1 : 0) ? 0 : -1;
}

int CreateNamedFile(const std::string& directory, const char* name) {
  platform::WideText path;
  if (!platform::Utf8ToWide(directory + "\\" + name, &path)) return -1;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  CloseHandle(file);
  return 0;
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

namespace {

bool StartLine(const std::string& program, std::string line, const std::string& currentDirectory,
               PROCESS_INFORMATION* process) {
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  // Under a loaded Wine a start now and then fails for no reason of the
  // program's (seen once as a bare failure just after the file was
  // written); a few tries, each failure's code on stderr, tell that apart
  // from a program that cannot start.
  for (int attempt = 1;; ++attempt) {
    memset(process, 0, sizeof(*process));
    if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                       currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, process)) {
      return true;
    }
    fprintf(stderr, "cannot start %s (try %d): error %lu\n", program.c_str(), attempt,
            static_cast<unsigned long>(GetLastError()));
    if (attempt == 3) return false;
    Sleep(500);
  }
}

bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& currentDirectory,
           PROCESS_INFORMATION* process) {
  std::string line = "\"" + program + "\"";
  for (const std::string& arg : arguments) line += " " + Quote(arg);
  return StartLine(program, line, currentDirectory, process);
}

int Wait(const std::string& program, PROCESS_INFORMATION* process, uint32_t timeoutMs) {
  int code = -1;
  if (WaitForSingleObject(process->hProcess, timeoutMs) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process->hProcess, &exitCode)) code = static_cast<int>(exitCode);
  } else {
    fprintf(stderr, "%s did not end within %u ms\n", program.c_str(), static_cast<unsigned>(timeoutMs));
    TerminateProcess(process->hProcess, 1);
  }
  CloseHandle(process->hProcess);
  CloseHandle(process->hThread);
  return code;
}

// SDDL of the DACL of `descriptor`; empty on failure.
std::string DaclText(void* descriptor) {
  typedef BOOL(WINAPI * ToStringFn)(void*, DWORD, DWORD, LPSTR*, ULONG*);
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  auto toString = advapi ? reinterpret_cast<ToStringFn>(reinterpret_cast<void*>(
                               GetProcAddress(advapi, "ConvertSecurityDescriptorToStringSecurityDescriptorA")))
                         : nullptr;
  char* text = nullptr;
  if (toString == nullptr ||
      !toString(descriptor, 1 /* SDDL_REVISION_1 */, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return std::string();
  }
  std::string result = text;
  LocalFree(text);
  return result;
}

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& currentDirectory, uint32_t timeoutMs) {
  PROCESS_INFORMATION process;
  if (!Start(program, arguments, currentDirectory, &process)) return -1;
  return Wait(program, &process, timeoutMs);
}

int RunCommandLine(const std::string& program, const std::string& line, const std::string& currentDirectory,
                   uint32_t timeoutMs) {
  PROCESS_INFORMATION process;
  if (!StartLine(program, line, currentDirectory, &process)) return -1;
  return Wait(program, &process, timeoutMs);
}

int StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
  PROCESS_INFORMATION process;
  if (!Start(program, arguments, std::string(), &process)) return -1;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return 0;
}

std::string CommandLine(int, char**) { return GetCommandLineA(); }

std::string CommandLineUtf8(int, char**) {
  const wchar_t* line = GetCommandLineW();
  const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line, -1, &text[0], n, nullptr, nullptr);
  text.resize(static_cast<size_t>(n) - 1);
  return text;
}

std::string CurrentDirectory() {
  char buffer[MAX_PATH] = {0};
  DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
  return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

int ChangeDirectory(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) ? 0 : -1; }

std::string AccessText(const std::string& path) {
  typedef BOOL(WINAPI * GetFileSecurityFn)(LPCSTR, DWORD, void*, DWORD, DWORD*);
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  auto getSecurity =
      advapi ? reinterpret_cast<GetFileSecurityFn>(reinterpret_cast<void*>(GetProcAddress(advapi, "GetFileSecurityA")))
             : nullptr;
  std::string descriptor(4096, '\0');
  DWORD needed = 0;
  if (getSecurity == nullptr || !getSecurity(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor[0],
                                             static_cast<DWORD>(descriptor.size()), &needed)) {
    return std::string();
  }
  return DaclText(&descriptor[0]);
}

std::string PrivateDirectoryAccessText() {
  std::string sid;
  if (!platform::CurrentUserSid(&sid)) return std::string();
  std::string descriptor = platform::PrivateDirectoryDescriptor(sid);
  return descriptor.empty() ? std::string() : DaclText(&descriptor[0]);
}

uint32_t ProcessId() { return GetCurrentProcessId(); }

}  // namespace port_testing
