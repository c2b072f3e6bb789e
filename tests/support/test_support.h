// Helpers shared by the tests besides scratch directories (temp_dir.h):
// whole-file I/O, programs, payloads, on both platforms through the platform
// layer. Paths use '\' as separator.
#ifndef LM_TESTS_SUPPORT_TEST_SUPPORT_H_
#define LM_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace lmtest {

bool PathExists(const std::string& path);
bool IsDirectoryPath(const std::string& path);
// Names in a directory, "." and ".." left out, sorted.
std::vector<std::string> ListNames(const std::string& directory);
bool MakeDirectory(const std::string& path);
// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t size, unsigned seed);

// Whether the tests run as Windows programs.
bool OnWindows();
// lmpack's --target for the launcher these tests run: windows (32-bit
// build), windows-x64 (64-bit build) or native.
std::string LauncherTarget();

// A path handed in by the build (always a host path): under Wine a Linux
// path "/x/y" becomes "Z:\x\y".
std::string HostPath(const std::string& path);

// The value of an environment variable the build sets for the tests, as a
// host path; fails the calling test when it is missing.
std::string BuildPath(const char* variable);

// Runs `program` with `arguments` in `currentDirectory` (empty: this
// process's), waits up to `timeoutMs`, and returns its exit code; -1 when it
// cannot be started or did not end in time.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments = {},
               const std::string& currentDirectory = "", uint32_t timeoutMs = 120000);

// For locks: runs `take`, which waits while a lock is held, on another
// thread; expects it still waiting after `waitMs`, then runs `release` on
// this thread and expects `take` to return.
void ExpectWaitsUntilReleased(const std::function<void()>& take, const std::function<void()>& release, int waitMs);

// bzip2 of `data` as one stream.
std::string Compress(const std::string& data, int level = 9);

// What lmpack's xz streams may look like, and damage that the reader must
// refuse (each keeps every other part of the stream consistent).
struct XzShape {
  size_t blockBytes = 0;   // the size of each block, the last takes the rest; 0: one block
  size_t emptyBlocks = 0;  // blocks that decode to nothing, before the data's
  bool crc32 = false;      // the check: CRC-32 instead of CRC-64
  bool x86 = false;        // the x86 filter before LZMA2
  enum Damage {
    kNone,
    kFilter,      // block 1's first filter is ARM's (needs x86)
    kCheck,       // the stream flags name SHA-256
    kDictionary,  // block 1's header asks for a 1.5 GiB dictionary
    kHeader,      // block 1's header states one byte more than it holds
    kIndex,       // the index lists the first two blocks swapped (needs blocks of two sizes)
  } damage = kNone;
};

// `data` as one .xz stream of LZMA2 blocks, encoded by liblzma itself.
std::string CompressXz(const std::string& data, const XzShape& shape = XzShape());

// Builds payload bytes field by field, for well-formed and hostile payloads.
class PayloadBytes {
 public:
  PayloadBytes& Int(uint32_t value);
  PayloadBytes& Text(const std::string& text);  // the bytes and a NUL
  PayloadBytes& Raw(const std::string& bytes);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

struct TestEntry {
  std::string path;
  uint32_t kind;
  std::string contents;  // for files
  int64_t size = -1;     // the record's size field; -1: the contents' size
};

// A complete setup executable: `stub`, then a well-formed payload for the
// entries (file sizes from their contents) with its data compressed by
// bzip2 or, when `xz` is given, as that xz stream; then the trailer.
std::string BuildSetup(const std::string& stub, const std::string& launchName, const std::vector<TestEntry>& entries,
                       const XzShape* xz = nullptr);

}  // namespace lmtest

#endif  // LM_TESTS_SUPPORT_TEST_SUPPORT_H_
