#include "tests/support/temp_dir.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>

#include "file/delete_tree.h"
#include "file/lm_file.h"
#include "platform/platform.h"
#include "platform/temp_directory.h"
#include "platform/testing/port_testing.h"

namespace lmtest {

namespace {

std::atomic<int> dirCounter{0};

// The temp directory as it was when the first scratch directory was made;
// tests may point the variables elsewhere for the programs they start.
const std::string& TempBase() {
  static const std::string base = [] {
    std::string path;
    if (!platform::GetAnsiTempDirectory(&path)) throw std::runtime_error("no temp directory");
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
  }();
  return base;
}

}  // namespace

TempDir::TempDir(const std::string& prefix, const std::string& parent) {
  const std::string& base = parent.empty() ? TempBase() : parent;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[64];
    snprintf(name, sizeof(name), "-%lu-%d", static_cast<unsigned long>(port_testing::ProcessId()), ++dirCounter);
    std::string candidate = base + "\\" + prefix + name;
    if (platform::MakeDirectory(candidate.c_str()) == 0) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch directory under " + base);
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string TempDir::Join(const std::string& relative) const { return path_ + "\\" + relative; }

std::string MemoryBackedParent() {
  const char* shared = "/dev/shm";
  bool usable =
      platform::GetEntryInfo(shared).type == platform::EntryType::kDirectory && platform::Access(shared, 2) == 0;
  return usable ? shared : "";
}

void RemoveTree(const std::string& path) {
  if (platform::GetEntryInfo(path.c_str()).type == platform::EntryType::kMissing) return;
  LmFile* entry = new LmFile(LmString(path.c_str()));
  entry->AddRef();
  DeleteTree(entry);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = platform::OpenFile(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

}  // namespace lmtest
