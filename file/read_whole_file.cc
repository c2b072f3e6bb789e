#include "file/read_whole_file.h"

#include <cstdio>

#include "platform/platform.h"

std::string ReadWholeFile(const std::string& path, bool* ok) {
  std::string bytes;
  FILE* file = platform::OpenFile(path.c_str(), "rb");
  bool read = file != nullptr;
  if (read) {
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, n);
    read = ferror(file) == 0;
    fclose(file);
  }
  if (!read) bytes.clear();
  if (ok != nullptr) *ok = read;
  return bytes;
}
