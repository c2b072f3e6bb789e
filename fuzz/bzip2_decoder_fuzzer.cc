// Differential: the same bytes as a compressed stream, decoded on one
// thread and on 2 and 4 workers, must give the same bytes or all fail. (The
// parallel path may fail after delivering a prefix of what one thread
// gives, never other bytes.)
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bzip2_reader.h"
#include "platform.h"
#include "scratch_directory.h"

namespace {

// Decoded output beyond this is not compared: an input of a few kilobytes
// can expand a thousandfold through bzip2's run-length stage.
const size_t kMaxOutput = 64u << 20;

bool Decode(const std::string& path, size_t size, int workers, std::string* out) {
  Bzip2Reader reader;
  if (!reader.Open(platform::NativePath(path.c_str()).c_str(), 0, static_cast<int64_t>(size), workers)) return false;
  std::vector<char> buffer(10240);
  int n;
  while ((n = reader.Read(buffer.data(), static_cast<int>(buffer.size()))) > 0) {
    out->append(buffer.data(), static_cast<size_t>(n));
    if (out->size() > kMaxOutput) return false;
  }
  return n == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchDirectory scratch("lmfuzz-bzip2");
  std::string path = scratch.Join("stream.bz2");
  if (!ScratchDirectory::WriteFile(path, data, size)) abort();
  std::string one;
  bool oneOk = Decode(path, size, 1, &one);
  if (one.size() > kMaxOutput) return 0;
  for (int workers : {2, 4}) {
    std::string many;
    bool manyOk = Decode(path, size, workers, &many);
    if (manyOk != oneOk) __builtin_trap();
    if (oneOk && many != one) __builtin_trap();
    // Both failed: each gave a prefix of the true data, so the shorter output
    // is a prefix of the longer.
    const std::string& shorter = many.size() <= one.size() ? many : one;
    const std::string& longer = many.size() <= one.size() ? one : many;
    if (!oneOk && longer.compare(0, shorter.size(), shorter) != 0) __builtin_trap();
  }
  return 0;
}
