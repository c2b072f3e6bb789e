#include "scratch_directory.h"

#include <cstdio>
#include <cstdlib>
#include <random>

#include "delete_tree.h"
#include "lm_file.h"
#include "lm_file_stream.h"
#include "platform.h"
#include "process.h"

namespace {

const int kAttempts = 100;

std::string ParentDirectory() {
  const char* shared = "/dev/shm";
  if (platform::GetEntryInfo(shared).type == platform::EntryType::kDirectory && platform::Access(shared, 2) == 0) {
    return shared;
  }
  return "/tmp";
}

}  // namespace

ScratchDirectory::ScratchDirectory(const char* prefix) {
  const std::string parent = ParentDirectory();
  std::random_device random;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    char name[32];
    snprintf(name, sizeof(name), "%08x", static_cast<unsigned>(random()));
    std::string candidate = parent + "\\" + prefix + "-" + name;
    if (platform::MakePrivateDirectory(candidate.c_str()) == 0) {
      path_ = candidate;
      return;
    }
  }
  fprintf(stderr, "cannot make a scratch directory under %s\n", parent.c_str());
  abort();
}

ScratchDirectory::~ScratchDirectory() {
  LmFile* directory = new LmFile(LmString(path_.c_str()));
  directory->AddRef();
  DeleteTree(directory);
}

std::string ScratchDirectory::Join(const std::string& name) const { return path_ + "\\" + name; }

bool ScratchDirectory::WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  LmFileStream out;
  if (!out.OpenFile(path.c_str(), 1)) return false;
  bool written = out.Write(data, static_cast<int>(size)) == static_cast<int>(size);
  return out.Close() && written;
}
