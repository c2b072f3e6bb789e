#include "platform/contained_tree.h"

#include <fcntl.h>
#include <io.h>
#include <string.h>

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

// Another thread of this process may open a file that a run shares.
const DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

DWORD AttributesOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(handle, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

// `root` followed by `relative` in `path`; false when that is too long.
bool Join(const char* root, const char* relative, char* path, size_t size) {
  const size_t rootLength = strlen(root), relativeLength = strlen(relative);
  if (rootLength + relativeLength >= size) return false;
  memcpy(path, root, rootLength);
  memcpy(path + rootLength, relative, relativeLength + 1);
  return true;
}

// `relative` below `root` opened as a stream in `mode` (`disposition`:
// CREATE_NEW or OPEN_EXISTING), or null when it is anything but a plain
// file.
FILE* OpenStream(const char* root, const char* relative, DWORD disposition, const char* mode) {
  char path[MAX_PATH];
  if (!Join(root, relative, path, MAX_PATH)) return nullptr;
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, kShareReadWrite, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const DWORD attributes = AttributesOf(handle);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    CloseHandle(handle);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, mode);
  if (file == nullptr) _close(fd);
  return file;
}

// Opens a directory so that, while the handle lasts, it can be neither
// renamed nor deleted; `flags` adds FILE_FLAG_OPEN_REPARSE_POINT where a
// link must be refused, not followed.
intptr_t HoldDirectory(const char* path, DWORD flags) {
  HANDLE handle = CreateFileA(path, FILE_READ_ATTRIBUTES, kShareReadWrite, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  const DWORD attributes = AttributesOf(handle);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (flags != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    CloseHandle(handle);
    return -1;
  }
  return reinterpret_cast<intptr_t>(handle);
}

}  // namespace

ContainedTree::ContainedTree(const char* root) {
  if (root == nullptr || *root == '\0') root = ".";
  if (Join(root, "", rootPath_, kMaxPath)) root_ = HoldDirectory(rootPath_, 0);
}

ContainedTree::~ContainedTree() {
  for (uint64_t handle : held_) CloseHandle(reinterpret_cast<HANDLE>(handle));
  if (root_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(root_));
}

bool ContainedTree::MakeDirectory(const char* relative) {
  if (!valid()) return false;
  char path[kMaxPath];
  if (!Join(rootPath_, relative, path, kMaxPath) || !CreateDirectoryA(path, nullptr)) return false;
  const intptr_t held = HoldDirectory(path, FILE_FLAG_OPEN_REPARSE_POINT);
  if (held == kNone) return false;
  held_.push_back(static_cast<uint64_t>(held));
  return true;
}

FILE* ContainedTree::CreateNewFile(const char* relative) {
  return valid() ? OpenStream(rootPath_, relative, CREATE_NEW, "wb") : nullptr;
}

FILE* ContainedTree::OpenExistingFile(const char* relative) {
  return valid() ? OpenStream(rootPath_, relative, OPEN_EXISTING, "rb+") : nullptr;
}

bool ContainedTree::AddExecuteBit(const char*) { return true; }

}  // namespace platform
