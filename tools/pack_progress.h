// PackProgress: "lmpack: N of M MiB" on a terminal while pack compresses a
// folder of 8 MiB or more; nothing otherwise. One thread adds to it.
#ifndef LM_TOOLS_PACK_PROGRESS_H_
#define LM_TOOLS_PACK_PROGRESS_H_

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

class PackProgress {
 public:
  PackProgress(uint64_t total, bool quiet)
      : total_(total), show_(!quiet && total >= (8u << 20) && platform::IsTerminal(stderr)) {}
  ~PackProgress() {
    if (show_) fprintf(stderr, "\n");
  }
  PackProgress(const PackProgress&) = delete;
  PackProgress& operator=(const PackProgress&) = delete;

  void Add(uint64_t bytes) {
    done_ += bytes;
    uint64_t mib = done_ >> 20;
    if (show_ && mib != shown_) {
      shown_ = mib;
      fprintf(stderr, "\rlmpack: %llu of %llu MiB", static_cast<unsigned long long>(mib),
              static_cast<unsigned long long>(total_ >> 20));
    }
  }

 private:
  uint64_t total_;
  bool show_;
  uint64_t done_ = 0;
  uint64_t shown_ = ~uint64_t{0};
};

#endif  // LM_TOOLS_PACK_PROGRESS_H_
