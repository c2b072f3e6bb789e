// ContainedTree: new files and directories created below an existing
// directory, the root, so that nothing is written outside it even while
// another process (another user who may write into the root) renames
// entries and plants links there.
//
// Paths are relative to the root, names joined by '\' with a leading '\'
// ("\dir\file.txt"), as a payload's table spells them. No link below the
// root is followed: a symbolic link, or on Windows a junction or any other
// reparse point, met where the tree expects its own entry makes the call
// fail. New entries are created exclusively: a name that exists, whatever
// it is (another entry spelt alike, an 8.3 alias, a planted link), fails.
// The root itself is followed if it is a link: the caller named it.
//
// POSIX: the root is held by a descriptor and every call walks from it
// with openat(O_NOFOLLOW | O_DIRECTORY) and creates with
// O_CREAT | O_EXCL | O_NOFOLLOW (mkdirat never follows).
// Windows: the root and every directory the tree makes are held open
// without FILE_SHARE_DELETE until the tree is destroyed, so that none of
// them can be renamed, deleted or replaced meanwhile (Microsoft documents
// that a rename or delete needs DELETE access, which the sharing mode of an
// open handle then refuses); each is opened with
// FILE_FLAG_OPEN_REPARSE_POINT and refused when it is a reparse point.
// Files are created with CREATE_NEW, which fails on any existing name,
// and opened again with FILE_FLAG_OPEN_REPARSE_POINT, refused unless a
// plain file.
//
// MakeDirectory on one thread while no other call runs; CreateNewFile,
// OpenExistingFile and AddExecuteBit from any number of threads.
#ifndef LM_PLATFORM_CONTAINED_TREE_H_
#define LM_PLATFORM_CONTAINED_TREE_H_

#include <cstdint>
#include <cstdio>
#include <vector>

namespace platform {

class ContainedTree {
 public:
  // Holds the existing directory `root`; valid() tells whether that worked.
  explicit ContainedTree(const char* root);
  ~ContainedTree();
  ContainedTree(const ContainedTree&) = delete;
  ContainedTree& operator=(const ContainedTree&) = delete;

  bool valid() const { return root_ != kNone; }

  // A new directory, whose parent is the root or one this tree made.
  bool MakeDirectory(const char* relative);
  // A new empty file open for writing ("wb"); null on failure.
  FILE* CreateNewFile(const char* relative);
  // An existing plain file, open for reading and writing ("rb+").
  FILE* OpenExistingFile(const char* relative);
  // Adds the owner-execute bit to an existing plain file (POSIX; Windows
  // has none to set and succeeds).
  bool AddExecuteBit(const char* relative);

 private:
  static constexpr intptr_t kNone = -1;
  // Windows builds each path from the root's as given; the system's narrow
  // calls take at most 259 bytes.
  static constexpr size_t kMaxPath = 260;
  char rootPath_[kMaxPath] = {};
  intptr_t root_ = kNone;
  std::vector<uint64_t> held_;  // Windows: the directories made, held open
};

}  // namespace platform

#endif  // LM_PLATFORM_CONTAINED_TREE_H_
