// Scratch directories for tests and fuzz targets, and the whole-file writes
// and removals they are used with, on both platforms through the platform
// layer. Paths use '\' as separator. Needs no test framework.
#ifndef LM_TESTS_SUPPORT_TEMP_DIR_H_
#define LM_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

namespace lmtest {

// A fresh, empty directory, removed with everything in it when the object
// goes away (a process that crashes leaves it behind).
class TempDir {
 public:
  // Made under `parent`, or under the temp directory (as it was when the
  // first one was made) when `parent` is empty, and named `prefix`, the
  // process id and a counter, so that processes running at once never
  // share one. Throws std::runtime_error when none can be made.
  explicit TempDir(const std::string& prefix = "lmtest", const std::string& parent = "");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "\" + relative.
  std::string Join(const std::string& relative) const;

 private:
  std::string path_;
};

// A parent for TempDir whose files never touch a disk: /dev/shm where it is
// a directory this process may write, else "" (the temp directory).
std::string MemoryBackedParent();

// Removes a file, a link or a whole tree (links are removed, not followed),
// through the library's DeleteTree.
void RemoveTree(const std::string& path);
// Creates or truncates the file and writes `bytes`; false when that fails.
bool WriteFile(const std::string& path, const std::string& bytes);

}  // namespace lmtest

#endif  // LM_TESTS_SUPPORT_TEMP_DIR_H_
