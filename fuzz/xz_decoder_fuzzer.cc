// Differential: the same bytes as an .xz stream, decoded from memory on one
// thread and with 2 or 4 workers (the input's length picks which), must
// give the same bytes and runs, or fail alike: the same outcome and
// message, that of the lowest block that fails. The memory limit is small,
// so that dictionaries beyond it are refused rather than allocated, and the
// decoded stream is capped, so that an input that expands a thousandfold
// costs little.
#include <cstdint>
#include <string>
#include <vector>

#include "util/byte_source.h"
#include "util/decoded_output.h"
#include "xz/xz_reader.h"

namespace {

const uint64_t kMemoryLimit = 2u << 20;
const uint64_t kMaxDecoded = 128u << 10;

// Keeps every run's bytes; refuses a stream larger than kMaxDecoded before
// anything is decoded.
class Collector : public DecodedOutput {
 public:
  Result Plan(const std::vector<uint64_t>& runStarts, uint64_t total) override {
    if (total > kMaxDecoded) return Result::Fail(Outcome::kBadInput, "too large to compare");
    starts_ = runStarts;
    total_ = total;
    runs_.assign(runStarts.size(), std::string());
    return Result();
  }
  Result Write(size_t run, const char* data, size_t size) override {
    runs_[run].append(data, size);
    return Result();
  }
  Result Finish() override {
    for (size_t i = 0; i < runs_.size(); ++i) {
      const uint64_t end = i + 1 < starts_.size() ? starts_[i + 1] : total_;
      if (runs_[i].size() != end - starts_[i]) __builtin_trap();  // the decoder let a size mismatch pass
    }
    return Result();
  }
  std::string All() const {
    std::string all;
    for (const std::string& run : runs_) all += run;
    return all;
  }

 private:
  std::vector<uint64_t> starts_;
  uint64_t total_ = 0;
  std::vector<std::string> runs_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Result results[2];
  std::string decoded[2];
  const int workers[2] = {1, size % 2 == 0 ? 2 : 4};
  for (int i = 0; i < 2; ++i) {
    util::MemoryRange source(data, size);
    xz::XzDecodeOptions options;
    options.workers = workers[i];
    options.memoryLimit = kMemoryLimit;
    Collector output;
    results[i] = xz::DecodeXz(&source, options, &output);
    if (results[i].ok()) decoded[i] = output.All();
  }
  if (results[0] != results[1] || decoded[0] != decoded[1]) __builtin_trap();
  return 0;
}
