#include "file/delete_tree.h"

#include <cstring>

#include "core/lm_list.h"
#include "platform/platform.h"

namespace {

// Deletes a file the ordinary way, else (read-only) once more after making
// it writable.
void DeleteFile(const LmString& path) {
  if (platform::RemoveFile(path.GetText()) == 0) return;
  LmFile file(path);
  if (file.Exists() && !file.IsDirectory()) {
    file.SetWritable(1);
    file.Delete();
  }
}

// Removes `path`, of `type` when last asked, with everything inside it.
// A directory's entries are listed by name only (no long form, no file
// objects) and asked for their type once each: the cost of a cleanup on
// Windows is its file-system calls per file.
void RemoveEntry(const LmString& path, platform::EntryType type) {
  if (type == platform::EntryType::kLink) {
    platform::RemoveLink(path.GetText());
    return;
  }
  if (type != platform::EntryType::kDirectory) {
    DeleteFile(path);
    return;
  }
  // Listed first, then removed: the platforms do not define a listing of a
  // directory that changes under it. A name that holds a separator would
  // lead elsewhere once joined (POSIX names may hold '\\'; Windows' ANSI
  // listing turns fullwidth U+FF0E U+FF3C into "..\\", its best-fit
  // conversion): such an entry is left, and with it the directory.
  LmList<LmString> children;
  platform::ForEachEntry(path.GetText(), [&](const char* name) {
    if (strpbrk(name, "\\/") == nullptr) children.AddTail(LmString::Concat(LmString::Concat(path, "\\"), name));
  });
  for (auto* node = children.GetHead(); node != nullptr; node = node->next) {
    RemoveEntry(node->value, platform::GetEntryInfo(node->value.GetText()).type);
  }
  platform::RemoveEmptyDirectory(path.GetText());
}

}  // namespace

void DeleteTree(LmFile* entry) {
  const LmString path = entry->GetPath();
  RemoveEntry(path, platform::GetEntryInfo(path.GetText()).type);
  entry->Release();
}
