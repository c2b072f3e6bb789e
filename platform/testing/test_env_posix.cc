#include "platform/testing/test_env.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/temp_directory.h"

namespace platform {

namespace {

std::string SystemPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace

bool SetEnvironmentUtf8(const char* name, const char* utf8Value) {
  return (utf8Value != nullptr ? setenv(name, utf8Value, 1) : unsetenv(name)) == 0;
}

bool GetEnvironmentUtf8(const char* name, std::string* utf8Value) {
  const char* value = getenv(name);
  *utf8Value = value != nullptr ? value : "";
  return value != nullptr;
}

bool MakeDirectoryUtf8(const std::string& utf8Path) { return mkdir(SystemPath(utf8Path).c_str(), 0700) == 0; }

bool RemoveDirectoryUtf8(const std::string& utf8Path) { return rmdir(SystemPath(utf8Path).c_str()) == 0; }

bool GetSystemTempPathUtf8(std::string* utf8Path) { return GetAnsiTempDirectory(utf8Path); }

}  // namespace platform
