#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/testing/port_testing.h"

extern char** environ;

namespace port_testing {

int CreateLink(const char* link, const char* target, bool) {
  return symlink(platform::NativePath(target).c_str(), platform::NativePath(link).c_str());
}

int CreateNamedFile(const std::string& directory, const char* name) {
  FILE* file = fopen((platform::NativePath(directory.c_str()) + "/" + name).c_str(), "wbx");
  return file != nullptr && fclose(file) == 0 ? 0 : -1;
}

void SetTimeZone(const char* tz) {
  SetEnv("TZ", tz);
  tzset();
}

void SetEnv(const char* name, const char* value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

namespace {

// Starts `program`; the process id, or -1.
pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& currentDirectory) {
  std::string native = platform::NativePath(program.c_str());
  std::vector<std::string> args = {native};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::string cwd = platform::NativePath(currentDirectory.c_str());
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  int error = posix_spawn(&pid, native.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& currentDirectory, uint32_t timeoutMs) {
  pid_t pid = Spawn(program, arguments, currentDirectory);
  if (pid < 0) return -1;
  uint32_t start = platform::TickCount();
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0 && errno != EINTR) return -1;
    if (platform::TickCount() - start >= timeoutMs) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    platform::SleepMs(2);
  }
}

int StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
  return Spawn(program, arguments, std::string()) < 0 ? -1 : 0;
}

int RunCommandLine(const std::string&, const std::string&, const std::string&, uint32_t) { return -1; }

std::string CommandLineUtf8(int argc, char** argv) { return CommandLine(argc, argv); }

std::string CommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) line += (i > 0 ? " " : "") + std::string(argv[i]);
  return line;
}

std::string CurrentDirectory() {
  char buffer[4096];
  return getcwd(buffer, sizeof(buffer)) != nullptr ? std::string(buffer) : std::string();
}

int ChangeDirectory(const std::string& path) { return chdir(platform::NativePath(path.c_str()).c_str()); }

std::string AccessText(const std::string& path) {
  struct stat st;
  if (stat(platform::NativePath(path.c_str()).c_str(), &st) != 0) return std::string();
  char text[16];
  snprintf(text, sizeof(text), "mode=%04o", static_cast<unsigned>(st.st_mode & 07777));
  return text;
}

std::string PrivateDirectoryAccessText() { return std::string(); }

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

}  // namespace port_testing
