#include "platform/temp_directory.h"

#include <stdlib.h>

namespace platform {

bool GetAnsiTempDirectory(std::string* path) {
  const char* dir = getenv("TMPDIR");
  *path = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  if (path->back() != '/') path->push_back('/');
  return path->size() < 260;
}

}  // namespace platform
