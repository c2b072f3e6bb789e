// Helpers shared by the tests: scratch directories and whole-file I/O, on
// both platforms through the platform layer. Paths use '\' as separator.
#ifndef LM_TESTS_SUPPORT_TEST_SUPPORT_H_
#define LM_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <string>
#include <vector>

namespace lmtest {

// A fresh, empty directory under the temp directory, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "\" + relative.
  std::string Join(const std::string& relative) const;

 private:
  std::string path_;
};

// Removes a file, a link or a whole tree (links are removed, not followed).
void RemoveTree(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
// The file's bytes; empty (with *ok false) when it cannot be read.
std::string ReadFile(const std::string& path, bool* ok = nullptr);
bool PathExists(const std::string& path);
bool IsDirectoryPath(const std::string& path);
// Names in a directory, "." and ".." left out, sorted.
std::vector<std::string> ListNames(const std::string& directory);
bool MakeDirectory(const std::string& path);
// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t size, unsigned seed);

}  // namespace lmtest

#endif  // LM_TESTS_SUPPORT_TEST_SUPPORT_H_
