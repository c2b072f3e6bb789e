// The POSIX port's process concern.
#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/process.h"

extern char** environ;

namespace platform {

bool GetExecutablePath(std::string* path) {
  char buffer[kMaxPath];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (n <= 0 || n >= static_cast<ssize_t>(sizeof(buffer))) return false;
  path->assign(buffer, static_cast<size_t>(n));
  return true;
}

int MakePrivateDirectory(const char* path) { return mkdir(NativePath(path).c_str(), 0700); }
bool NeedsExecuteBit(const unsigned char* head, int headLength, bool isLaunchTarget) {
  return isLaunchTarget ||
         (headLength >= 4 && memcmp(head,
                                    "\x7f"
                                    "ELF",
                                    4) == 0) ||
         (headLength >= 2 && head[0] == '#' && head[1] == '!');
}

int MarkIfExecutable(const char* path, const unsigned char* head, int headLength, bool isLaunchTarget) {
  if (!NeedsExecuteBit(head, headLength, isLaunchTarget)) return 0;
  std::string native = NativePath(path);
  struct stat st;
  if (stat(native.c_str(), &st) != 0) return -1;
  return chmod(native.c_str(), (st.st_mode & 07777) | S_IXUSR);
}

namespace {

std::vector<std::string> ownArguments;

// The program's argv: its path, the fixed arguments, this process's own.
std::vector<std::string> ArgumentList(const char* program, const ProgramArguments& arguments) {
  std::vector<std::string> list = SplitWindowsArguments(arguments.fixed);
  list.insert(list.begin(), NativePath(program));
  if (arguments.passOwn) list.insert(list.end(), ownArguments.begin(), ownArguments.end());
  return list;
}

}  // namespace

void SetOwnArguments(int count, char** arguments) { ownArguments.assign(arguments, arguments + count); }

bool OwnArgumentsSafeForBatchFile() {
  for (const std::string& argument : ownArguments) {
    // Byte by byte: the characters the rule names are ASCII.
    std::wstring wide;
    for (char c : argument) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    if (!SafeForBatchFile(wide.c_str())) return false;
  }
  return true;
}

size_t CommandLineLength(const char* program, StartMethod, const ProgramArguments& arguments) {
  size_t length = 0;
  for (const std::string& argument : ArgumentList(program, arguments)) length += argument.size() + 1;
  return length;
}

// One way to start a program here: elevation and installer packages are
// Windows notions.
ProcessResult RunAndWait(const char* program, StartMethod, const ProgramArguments& arguments) {
  std::vector<std::string> list = ArgumentList(program, arguments);
  std::vector<char*> argv;
  for (std::string& argument : list) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  // The run is over once memory ran out: nothing is started.
  if (MemoryRanOut()) return {ProcessResult::kNotStarted, 0, ENOMEM};
  // A SIGCHLD ignored by whoever started this process would let the
  // system reap the program before waitpid could read its exit status,
  // and the program would inherit the ignoring.
  signal(SIGCHLD, SIG_DFL);
  // Orphans of the tree become this process's children, however they
  // left their parents (a new session included).
  if (arguments.waitForTree) prctl(PR_SET_CHILD_SUBREAPER, 1);
  pid_t pid = 0;
  int error = posix_spawn(&pid, list[0].c_str(), nullptr, nullptr, argv.data(), environ);
  if (error == ENOENT || error == ENOTDIR) return {ProcessResult::kNotFound, 0, static_cast<uint32_t>(error)};
  if (error == EACCES || error == EPERM || error == ENOEXEC)
    return {ProcessResult::kNotExecutable, 0, static_cast<uint32_t>(error)};
  if (error != 0) return {ProcessResult::kNotStarted, 0, static_cast<uint32_t>(error)};
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return {ProcessResult::kNotStarted, 0, static_cast<uint32_t>(errno)};
  }
  uint32_t code =
      WIFSIGNALED(status) ? 128u + static_cast<uint32_t>(WTERMSIG(status)) : static_cast<uint32_t>(WEXITSTATUS(status));
  // Every living descendant is a child of this process or below one, so
  // the tree is gone once no child is left.
  if (arguments.waitForTree) {
    while (waitpid(-1, &status, 0) >= 0 || errno == EINTR) {
    }
  }
  return {ProcessResult::kExited, code, 0};
}

void EndProcessNow(int exitCode) { _exit(exitCode); }

}  // namespace platform
