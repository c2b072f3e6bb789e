#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform.h"

namespace lmtest {

namespace {
std::atomic<int> dirCounter{0};
}

TempDir::TempDir() {
  char base[MAX_PATH];
  platform::GetTempDirectory(base, sizeof(base));
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[64];
    snprintf(name, sizeof(name), "\\lmtest-%lu-%d", static_cast<unsigned long>(GetCurrentProcessId()),
             ++dirCounter);
    std::string candidate = std::string(base) + name;
    if (platform::MakeDir(candidate.c_str()) == 0) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch directory");
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string TempDir::Join(const std::string& relative) const { return path_ + "\\" + relative; }

void RemoveTree(const std::string& path) {
  platform::EntryInfo info = platform::GetEntryInfo(path.c_str());
  switch (info.type) {
    case platform::EntryType::kMissing:
      return;
    case platform::EntryType::kLink:
      platform::RemoveLink(path.c_str());
      return;
    case platform::EntryType::kDirectory:
      for (const std::string& name : ListNames(path)) RemoveTree(path + "\\" + name);
      platform::Chmod(path.c_str(), 0700);
      RemoveDirectoryA(path.c_str());
      return;
    default:
      platform::Chmod(path.c_str(), 0600);
      platform::RemoveFile(path.c_str());
      return;
  }
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = platform::OpenFile(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

std::string ReadFile(const std::string& path, bool* ok) {
  std::string bytes;
  FILE* file = platform::OpenFile(path.c_str(), "rb");
  if (ok != nullptr) *ok = file != nullptr;
  if (file == nullptr) return bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

bool PathExists(const std::string& path) {
  return platform::GetEntryInfo(path.c_str()).type != platform::EntryType::kMissing;
}

bool IsDirectoryPath(const std::string& path) {
  return platform::GetEntryInfo(path.c_str()).type == platform::EntryType::kDirectory;
}

std::vector<std::string> ListNames(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  std::string pattern = directory + "\\*.*";
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0) {
      names.push_back(data.cFileName);
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

bool MakeDirectory(const std::string& path) { return platform::MakeDir(path.c_str()) == 0; }

std::string RandomBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace lmtest
