// How lmpack cuts an xz payload's stream into blocks. Each block restarts
// LZMA2's dictionary, which costs compression, and lets the launcher decode
// it on a core of its own, which saves time; the x86 branch filter is
// chosen per block.
//
// A stream of S bytes becomes round(S / target) blocks (at least one) of
// about equal size, so that they take about equally long to decode, each
// ending at the end of a file where one lies within 1/32 of `target`
// of the even cut, else inside the file. A block of which 32-bit x86
// programs (stream_order.h) make up a quarter or more is encoded with the
// branch filter. The plan depends only on the sizes and the kinds, never
// on the number of threads.
#ifndef LM_TOOLS_XZ_BLOCK_PLAN_H_
#define LM_TOOLS_XZ_BLOCK_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <vector>

struct PlannedBlock {
  uint64_t start = 0;  // in the decoded stream
  uint64_t size = 0;
  bool x86 = false;  // 32-bit x86 programs make up a quarter or more: the branch filter is used
};

// `sizes` and `x86`: the files in stream order. No blocks when every file
// is empty.
// The block size lmpack aims at when it is not told one, for a stream of
// `total` bytes: half the stream, so that a setup decodes on two cores,
// between 64 MiB (smaller blocks cost too much compression) and `largest`.
uint64_t DefaultXzBlockBytes(uint64_t total, uint64_t largest);

std::vector<PlannedBlock> PlanXzBlocks(const std::vector<uint64_t>& sizes, const std::vector<bool>& x86,
                                       uint64_t target);

#endif  // LM_TOOLS_XZ_BLOCK_PLAN_H_
