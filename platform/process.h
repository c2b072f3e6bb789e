// The port's process concern: what the launcher needs of the process it
// runs in and of the program it starts. Implemented by process_win32.cc
// (KERNEL32) or process_posix.cc; paths as in platform.h.
#ifndef LM_PLATFORM_PROCESS_H_
#define LM_PLATFORM_PROCESS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
// Whether MarkIfExecutable would set the bit for such a file; always false
// where the system has none.
bool NeedsExecuteBit(const unsigned char* head, int headLength, bool isLaunchTarget);

// How a program is started. POSIX knows one way, and takes every method as
// kDirect.
enum class StartMethod {
  // The program itself: CreateProcessW with its quoted full path as the
  // command line; posix_spawn with argv = {program}. The arguments follow.
  kDirect,
  // Windows: through the shell (ShellExecuteExA, no verb), which shows the
  // elevation prompt when the program's manifest or the system's installer
  // detection asks for administrator rights, and only then.
  kShell,
  // Windows: a Windows Installer package, started as
  // "<system directory>\msiexec.exe" /i "<program>" and the arguments.
  kInstallerPackage,
};

// What the started program gets after its own path (and, for a package,
// after msiexec's /i "<package>").
struct ProgramArguments {
  // Windows command-line text in the ANSI code page (never a line break).
  // Windows: appended after one space exactly as it stands. POSIX: split
  // into arguments as Windows' C runtime splits a command line
  // (SplitWindowsArguments).
  std::string fixed;
  // This process's own arguments follow the fixed ones. Windows: the tail
  // of its own command line (GetCommandLineW) after its program name as
  // Windows delimits the first argument (up to the closing quote when it
  // begins with one, else up to the first blank), blanks before the tail
  // skipped, the rest as it stands, after one space. POSIX: the arguments
  // SetOwnArguments was given, unchanged.
  bool passOwn = false;
  // Windows: `fixed` is UTF-8 rather than the ANSI code page.
  bool utf8 = false;
  // RunAndWait returns only once every process the program started, and
  // every process those started, has ended too (the exit code is still the
  // program's). Windows: the program runs in a job object of its own,
  // assigned while it is suspended, before it runs; nested in a job this
  // process is in where the system allows that (Windows 8 on), and where it
  // cannot be assigned the wait is for the program alone. Through the shell
  // (elevation) the wait is for the program alone: the elevated process
  // cannot be put into this process's job. POSIX: this process becomes its
  // descendants' subreaper (PR_SET_CHILD_SUBREAPER), so that even one that
  // left its session is waited for.
  bool waitForTree = false;
};

// Whether this process's own arguments (ProgramArguments::passOwn) can
// follow a batch file's name: SafeForBatchFile of the command line's tail
// on Windows; natively the same rule for each argument.
bool OwnArgumentsSafeForBatchFile();

// The longest command line CreateProcess takes, in UTF-16 units with the
// terminating NUL; the launcher keeps to it on every system.
const size_t kMaxCommandLine = 32767;

// POSIX: the process entry hands over its own arguments (argv[1..]) for
// ProgramArguments::passOwn. Windows reads its own command line and needs
// nothing here.
void SetOwnArguments(int count, char** arguments);

// The length a start of `program` by `method` with `arguments` gives the
// command line, in UTF-16 units with the NUL (POSIX: the bytes of every
// argument, each with its NUL), to hold against kMaxCommandLine before
// anything is unpacked. 0 when no command line can be made: on Windows, a
// path or fixed arguments with no faithful UTF-16 form
// (ProgramArguments::utf8).
size_t CommandLineLength(const char* program, StartMethod method, const ProgramArguments& arguments);

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
// Starts `program` (a full path) with `arguments`, this process's
// environment and current directory and waits for it without limit.
ProcessResult RunAndWait(const char* program, StartMethod method, const ProgramArguments& arguments);

// `text` split into arguments by the rules of Microsoft's C runtime for
// the arguments after the program name: blanks (spaces, tabs) separate
// arguments outside quotes; a double quote begins or ends a quoted part;
// inside one, two double quotes give one; 2n backslashes before a double
// quote give n backslashes and the quote begins or ends a quoted part, 2n+1
// give n and a literal quote; other backslashes are literal. The native
// launcher's reading of ProgramArguments::fixed.
std::vector<std::string> SplitWindowsArguments(const std::string& text);
// Whether SplitWindowsArguments would end `text` inside a quoted part: its
// quotes do not close, so that on Windows whatever follows it on the
// command line (the setup's own arguments) would join its last argument.
bool EndsInsideQuotes(const std::string& text);

// The arguments of Windows command line `line` after its program name:
// by Microsoft's rule for argv[0], the name may hold quoted parts anywhere
// (the quotes are not escapes: backslashes are literal there), and it ends
// at the first blank or tab outside them; the blanks after it are skipped.
// `"C:\pkg\"setup.exe /qn` gives `/qn`.
const wchar_t* CommandLineTail(const wchar_t* line);

// Whether `tail` can follow a batch file's command line unchanged. Windows
// runs a batch file through cmd.exe, which reads its command line by rules
// of its own, unlike any program's: & | < > ^ ( ) separate and redirect
// commands, % and ! expand variables, and a line break ends the command,
// inside quotes or not; and a quote left open carries over into the batch
// file's own lines that use the arguments (%*), where it turns the batch
// file's own quoted operators into live ones. A tail without any of those
// characters, or any other control character but the tab, and with its
// quotes paired, reaches the batch file as it stands; any other is refused.
bool SafeForBatchFile(const wchar_t* tail);

}  // namespace platform

#endif  // LM_PLATFORM_PROCESS_H_
