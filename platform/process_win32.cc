// The Windows port's process concern, on KERNEL32; the shell, COM and the
// token query are looked up at run time (system_library.h), so that the
// launcher's only static imports stay KERNEL32 and msvcrt.
#include <string.h>

#include <string>

#include "platform/win32/windows_api.h"
// <shellapi.h> needs <windows.h> before it.
#include <shellapi.h>

#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/win32/private_directory.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

const DWORD kElevationRequiredError = 740;  // ERROR_ELEVATION_REQUIRED

// The longest command line the shell passes on: ShellExecute(Ex) holds the
// program and its parameters to INTERNET_MAX_URL_LENGTH, "around 2048"
// characters in Microsoft's account of the command-line limits, far below
// CreateProcess's 32,767. The path, quoted, a blank, the parameters and the
// NUL stay within 2048 UTF-16 units; a longer one is refused with
// ERROR_FILENAME_EXCED_RANGE, as CreateProcess refuses one beyond its limit,
// rather than handed to a shell that may cut it short.
const size_t kMaxShellCommandLine = 2048;

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

void Append(WideText* text, const wchar_t* units, size_t count) {
  const size_t at = text->size();
  text->resize(at + count);
  memcpy(text->data() + at, units, count * sizeof(wchar_t));
}

void Append(WideText* text, const wchar_t* units) { Append(text, units, wcslen(units)); }

void Append(WideText* text, const WideText& more) { Append(text, more.c_str(), more.size()); }

// Text in the ANSI code page as UTF-16; the launcher's paths and the
// payload's arguments are in it.
WideText FromAnsi(const std::string& text) {
  WideText wide;
  CodePageToWide(text, GetACP(), &wide);
  return wide;
}

// This process's command line after its program name, as the C runtime
// delimits argv[0] (CommandLineTail), the rest as it stands.
const wchar_t* OwnArgumentsTail() { return CommandLineTail(GetCommandLineW()); }

// Whether every ASCII character of `bytes` is in `wide`, in order, and no
// other: a double-byte code page reads a byte beyond ASCII with the byte
// after it, which may be a quote or a backslash of the text's own.
bool KeepsAscii(const std::string& bytes, const WideText& wide) {
  size_t at = 0;
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide.c_str()[i] >= 0x80) continue;
    while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) >= 0x80) ++at;
    if (at == bytes.size() || static_cast<wchar_t>(bytes[at]) != wide.c_str()[i]) return false;
    ++at;
  }
  while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) >= 0x80) ++at;
  return at == bytes.size();
}

// The fixed arguments and this process's own, each after one space. False
// when the fixed text has no faithful UTF-16 form: UTF-8 that is not
// valid, or, for a record from before the UTF-8 flag, bytes that the
// running ANSI code page does not define or that it reads together with
// the text's own ASCII characters. The program then gets nothing rather
// than other text.
bool Parameters(const ProgramArguments& arguments, WideText* parameters) {
  parameters->clear();
  if (!arguments.fixed.empty()) {
    WideText fixed;
    if (!CodePageToWide(arguments.fixed, arguments.utf8 ? CP_UTF8 : GetACP(), &fixed)) return false;
    if (!arguments.utf8 && !KeepsAscii(arguments.fixed, fixed)) return false;
    Append(parameters, L" ");
    Append(parameters, fixed);
  }
  const wchar_t* own = arguments.passOwn ? OwnArgumentsTail() : L"";
  if (*own != L'\0') {
    Append(parameters, L" ");
    Append(parameters, own);
  }
  return true;
}

// What CreateProcessW runs and its command line: the program's full path,
// quoted, so that a path with spaces can neither run a truncated name nor
// split the program's first argument; for a package msiexec from the
// system directory, never through a search path, with /i and the package.
bool CommandLine(const char* program, StartMethod method, const ProgramArguments& arguments, WideText* application,
                 WideText* line) {
  WideText path;
  if (!CodePageToWide(program, GetACP(), &path)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  if (method == StartMethod::kInstallerPackage) {
    wchar_t directory[MAX_PATH];
    UINT n = GetSystemDirectoryW(directory, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    *application = WideText(directory, n);
    Append(application, L"\\msiexec.exe");
    *line = WideText(L"\"");
    Append(line, *application);
    Append(line, L"\" /i \"");
  } else {
    *application = path;
    *line = WideText(L"\"");
  }
  Append(line, path);
  Append(line, L"\"");
  WideText parameters;
  if (!Parameters(arguments, &parameters)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  Append(line, parameters);
  return true;
}

// A job object that reports on a completion port when its last process has
// ended (JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO). Processes started inside the
// job stay in it: the job allows no breakaway.
class ProcessTree {
 public:
  ProcessTree() {
    job_ = CreateJobObjectW(nullptr, nullptr);
    port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (job_ == nullptr || port_ == nullptr) return;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association;
    association.CompletionKey = job_;
    association.CompletionPort = port_;
    // A process started with CREATE_BREAKAWAY_FROM_JOB leaves the job (and
    // is not waited for) rather than fail to start, as it would in a job
    // that forbids breaking away.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    memset(&limits, 0, sizeof(limits));
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    ready_ = SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &association,
                                     sizeof(association)) != FALSE &&
             SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) != FALSE;
  }
  ~ProcessTree() {
    if (port_ != nullptr) CloseHandle(port_);
    if (job_ != nullptr) CloseHandle(job_);
  }
  ProcessTree(const ProcessTree&) = delete;
  ProcessTree& operator=(const ProcessTree&) = delete;

  // Puts a process that has not run yet into the job. Since Windows 8 a
  // process may be in several nested jobs, so this works also when this
  // process itself runs in one (a deployment agent's); before, or when the
  // outer job forbids it, it fails and the wait is for the program alone.
  bool Adopt(HANDLE process) {
    adopted_ = ready_ && AssignProcessToJobObject(job_, process) != FALSE;
    return adopted_;
  }

  // Returns once no process of the job is left. Microsoft does not promise
  // that every job message reaches the port, so the job's own count of
  // active processes is asked as well, every second.
  void WaitUntilEmpty() {
    if (!adopted_) return;
    for (;;) {
      DWORD message = 0;
      ULONG_PTR key = 0;
      LPOVERLAPPED overlapped = nullptr;
      if (GetQueuedCompletionStatus(port_, &message, &key, &overlapped, 1000) &&
          reinterpret_cast<HANDLE>(key) == job_ && message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
        return;
      }
      JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
      if (!QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                     nullptr) ||
          accounting.ActiveProcesses == 0) {
        return;
      }
    }
  }

 private:
  HANDLE job_ = nullptr;
  HANDLE port_ = nullptr;
  bool ready_ = false;
  bool adopted_ = false;
};

ProcessResult CreateAndWait(const char* program, StartMethod method, const ProgramArguments& arguments) {
  WideText application, line;
  if (!CommandLine(program, method, arguments, &application, &line)) return NotStarted(GetLastError());
  // A command line built while memory ran out may hold a piece from the
  // reserve, but the run is over: nothing is started.
  if (MemoryRanOut()) return NotStarted(ERROR_NOT_ENOUGH_MEMORY);
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof(process));
  // Waiting for the tree: the program is created suspended, so that it
  // joins the job before it can start anything.
  const DWORD flags = arguments.waitForTree ? CREATE_SUSPENDED : 0;
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                      &process)) {
    DWORD error = GetLastError();
    // CreateProcess never shows the elevation prompt: a program whose
    // manifest asks for administrator rights, or that the system's installer
    // detection takes for an installer, fails here with
    // ERROR_ELEVATION_REQUIRED when this process is not elevated.
    if (error == kElevationRequiredError) return {ProcessResult::kElevationRequired, 0, error};
    return NotStarted(error);
  }
  if (!arguments.waitForTree) {
    CloseHandle(process.hThread);
    return WaitAndClose(process.hProcess);
  }
  ProcessTree tree;
  tree.Adopt(process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  ProcessResult result = WaitAndClose(process.hProcess);
  tree.WaitUntilEmpty();
  return result;
}

// ShellExecuteEx with no verb: the shell runs the program's default action
// and, unlike CreateProcess, shows the elevation prompt when the program
// asks for it, and only then ("runas" would elevate every program). The
// shell's documentation asks for COM, apartment-threaded, on the calling
// thread; SEE_MASK_NOASYNC because this thread ends the process soon after.
ProcessResult RunThroughShell(const char* program, const ProgramArguments& arguments) {
  typedef BOOL(WINAPI * ShellExecuteExFn)(SHELLEXECUTEINFOW*);
  typedef HRESULT(WINAPI * CoInitializeExFn)(void*, DWORD);
  typedef void(WINAPI * CoUninitializeFn)();
  auto shellExecute = reinterpret_cast<ShellExecuteExFn>(SystemProcedure("shell32.dll", "ShellExecuteExW"));
  if (shellExecute == nullptr) return NotStarted(GetLastError());
  auto initialize = reinterpret_cast<CoInitializeExFn>(SystemProcedure("ole32.dll", "CoInitializeEx"));
  auto uninitialize = reinterpret_cast<CoUninitializeFn>(SystemProcedure("ole32.dll", "CoUninitialize"));
  const DWORD kApartmentThreaded = 0x2, kNoOle1Dde = 0x4;  // COINIT_APARTMENTTHREADED, COINIT_DISABLE_OLE1DDE
  bool initialized = initialize != nullptr && uninitialize != nullptr &&
                     SUCCEEDED(initialize(nullptr, kApartmentThreaded | kNoOle1Dde));

  const WideText file = FromAnsi(program);
  WideText parameters;
  const bool translated = Parameters(arguments, &parameters);
  DWORD refusal = !translated                                                      ? ERROR_NO_UNICODE_TRANSLATION
                  : MemoryRanOut()                                                 ? ERROR_NOT_ENOUGH_MEMORY
                  : file.size() + 2 + parameters.size() + 1 > kMaxShellCommandLine ? ERROR_FILENAME_EXCED_RANGE
                                                                                   : 0;
  if (refusal != 0) {
    if (initialized) uninitialize();
    return NotStarted(refusal);
  }
  SHELLEXECUTEINFOW info;
  memset(&info, 0, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpFile = file.c_str();  // no verb or directory: as a direct start
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str() + 1;
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
bool NeedsExecuteBit(const unsigned char*, int, bool) { return false; }

void SetOwnArguments(int, char**) {}

bool OwnArgumentsSafeForBatchFile() { return SafeForBatchFile(OwnArgumentsTail()); }

size_t CommandLineLength(const char* program, StartMethod method, const ProgramArguments& arguments) {
  WideText application, line;
  return CommandLine(program, method, arguments, &application, &line) ? line.size() + 1 : 0;
}

ProcessResult RunAndWait(const char* program, StartMethod method, const ProgramArguments& arguments) {
  if (method == StartMethod::kShell) return RunThroughShell(program, arguments);
  return CreateAndWait(program, method, arguments);
}

// TerminateProcess on the current process: no DLL is told of the end, so
// msvcrt neither flushes streams nor takes their locks, which a stopped
// thread may hold. It does not return once the process is ending.
void EndProcessNow(int exitCode) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
  for (;;) Sleep(INFINITE);
}

}  // namespace platform
