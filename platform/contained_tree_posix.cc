#include "platform/contained_tree.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

// The descriptor of the directory that holds the last name of `relative`,
// reached from `root` without following a link, and that last name; -1
// when a component is missing, not a directory or a link.
int OpenParent(int root, const char* relative, std::string* leaf) {
  std::string path(relative);
  size_t start = path.empty() || path[0] != '\\' ? 0 : 1;
  int directory = dup(root);
  for (;;) {
    const size_t end = path.find('\\', start);
    if (end == std::string::npos) {
      *leaf = path.substr(start);
      if (leaf->empty() && directory >= 0) {
        close(directory);
        errno = ENOENT;
        return -1;
      }
      return directory;
    }
    if (directory < 0) return -1;
    const std::string name = path.substr(start, end - start);
    const int next = openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(directory);
    directory = next;
    start = end + 1;
  }
}

// `fd` as a stream, or null (and `fd` closed) when it is no plain file.
FILE* StreamOf(int fd, const char* mode) {
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, mode);
  if (file == nullptr) close(fd);
  return file;
}

int OpenIn(int root, const char* relative, int flags, mode_t mode) {
  std::string leaf;
  const int parent = OpenParent(root, relative, &leaf);
  if (parent < 0) return -1;
  const int fd = openat(parent, leaf.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
  const int error = errno;
  close(parent);
  errno = error;
  return fd;
}

}  // namespace

ContainedTree::ContainedTree(const char* root) {
  const std::string native = NativePath(root);
  const int fd = open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) root_ = fd;
}

ContainedTree::~ContainedTree() {
  if (root_ != kNone) close(static_cast<int>(root_));
}

bool ContainedTree::MakeDirectory(const char* relative) {
  if (!valid()) return false;
  std::string leaf;
  const int parent = OpenParent(static_cast<int>(root_), relative, &leaf);
  if (parent < 0) return false;
  const bool made = mkdirat(parent, leaf.c_str(), 0777) == 0;
  close(parent);
  return made;
}

FILE* ContainedTree::CreateNewFile(const char* relative) {
  if (!valid()) return nullptr;
  return StreamOf(OpenIn(static_cast<int>(root_), relative, O_WRONLY | O_CREAT | O_EXCL, 0666), "wb");
}

FILE* ContainedTree::OpenExistingFile(const char* relative) {
  if (!valid()) return nullptr;
  return StreamOf(OpenIn(static_cast<int>(root_), relative, O_RDWR, 0), "rb+");
}

bool ContainedTree::AddExecuteBit(const char* relative) {
  if (!valid()) return false;
  const int fd = OpenIn(static_cast<int>(root_), relative, O_RDONLY, 0);
  if (fd < 0) return false;
  struct stat st;
  const bool done = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fchmod(fd, (st.st_mode & 07777) | S_IXUSR) == 0;
  close(fd);
  return done;
}

}  // namespace platform
