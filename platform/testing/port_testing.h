// The part of the port that only tests and their helper programs link:
// links, the time zone, the environment, starting programs with arguments,
// a current directory and a time limit, and reading access rules back.
#ifndef LM_PLATFORM_TESTING_PORT_TESTING_H_
#define LM_PLATFORM_TESTING_PORT_TESTING_H_

#include <cstdint>
#include <string>
#include <vector>

namespace port_testing {

// Makes a symbolic link at `link` pointing to `target`. 0, or -1 also where
// the system or the caller's rights do not allow links.
int CreateLink(const char* link, const char* target, bool isDirectory);
// Makes an empty file named `name` (UTF-8, taken as it stands: on POSIX a
// '\\' in it is an ordinary byte) in `directory`. 0 or -1.
int CreateNamedFile(const std::string& directory, const char* name);
// Sets the TZ variable (null removes it) and makes the runtime re-read it.
void SetTimeZone(const char* tz);
// Sets or (value null) removes an environment variable of this process, so
// that programs it starts inherit it.
void SetEnv(const char* name, const char* value);
// Runs `program` with `arguments` (quoted by the Windows rules where the
// system takes one command line) in `currentDirectory` (empty: this
// process's), waits up to `timeoutMs` and returns its exit code; -1 when it
// cannot be started or did not end in time (it is then killed).
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& currentDirectory, uint32_t timeoutMs);
// Starts `program` with `arguments` in this process's current directory
// and does not wait for it: 0, or -1 when it cannot be started.
int StartDetached(const std::string& program, const std::vector<std::string>& arguments);
// Windows: runs `program` with `line` as its whole command line, exactly as
// given (its first word standing for the program's name), and waits as
// RunProgram does. POSIX has no command line: -1.
int RunCommandLine(const std::string& program, const std::string& line, const std::string& currentDirectory,
                   uint32_t timeoutMs);
// The command line this process was started with, as the system has it
// (POSIX: the arguments joined by spaces).
std::string CommandLine(int argc, char** argv);
// The same in UTF-8: on Windows from the UTF-16 command line, whatever the
// ANSI code page holds.
std::string CommandLineUtf8(int argc, char** argv);
std::string CurrentDirectory();
int ChangeDirectory(const std::string& path);  // 0 or -1

// Who may reach `path`, as text: on Windows the DACL of its security
// descriptor in SDDL ("D:P(A;OICI;FA;;;SY)..."), on POSIX "mode=" and the
// permission bits in octal. Empty when it cannot be read.
std::string AccessText(const std::string& path);
// Windows: the DACL that MakePrivateDirectory gives a new directory, in
// SDDL, built in memory for the current user as the launcher builds it
// (the file system may keep less of it than it was given). POSIX: empty.
std::string PrivateDirectoryAccessText();
uint32_t ProcessId();

}  // namespace port_testing

#endif  // LM_PLATFORM_TESTING_PORT_TESTING_H_
