// ScratchDirectory: a private directory in which a fuzz target writes its
// inputs as files, made once per process and reused for every input.
//
// It lies under /dev/shm when that can be written (inputs then never touch
// a disk), else under /tmp. Its name carries a random part
// and is created with a call that fails when the name exists, so parallel
// fuzzing processes never share one. The destructor removes it with
// everything in it; a process that crashes leaves it behind.
#ifndef LM_FUZZ_SCRATCH_DIRECTORY_H_
#define LM_FUZZ_SCRATCH_DIRECTORY_H_

#include <cstddef>
#include <cstdint>
#include <string>

class ScratchDirectory {
 public:
  // `prefix` starts the directory's name. Aborts the process when no
  // directory can be made: a fuzz target cannot run without one.
  explicit ScratchDirectory(const char* prefix);
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The directory's path, '\'-separated like every path of the library.
  const std::string& path() const { return path_; }
  // path() + "\" + name.
  std::string Join(const std::string& name) const;

  // Creates or truncates the file `path` and writes `size` bytes into it;
  // false when that fails.
  static bool WriteFile(const std::string& path, const uint8_t* data, size_t size);

 private:
  std::string path_;
};

#endif  // LM_FUZZ_SCRATCH_DIRECTORY_H_
