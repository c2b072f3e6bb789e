// How lmpack cuts an xz payload's stream into blocks. Each block restarts
// LZMA2's dictionary, which costs compression, and lets the launcher decode
// it on a core of its own, which saves time; the x86 branch filter is
// chosen per block.
//
// The data and the x86 programs (stream_order.h) are planned apart, so that
// no block mixes them and the filter can be chosen for the programs alone.
// Each part of G bytes becomes round(G / target) blocks (at least one) of
// about equal size, each ending at the end of a file where one lies within
// an eighth of `target` of the even cut, else inside the file. The plan
// depends only on the sizes and the kinds, never on the number of threads.
#ifndef LM_TOOLS_XZ_BLOCK_PLAN_H_
#define LM_TOOLS_XZ_BLOCK_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <vector>

struct PlannedBlock {
  uint64_t start = 0;  // in the decoded stream
  uint64_t size = 0;
  bool x86 = false;  // it holds x86 programs: the branch filter is tried
};

// `sizes` and `x86`: the files in stream order. No blocks when every file
// is empty.
std::vector<PlannedBlock> PlanXzBlocks(const std::vector<uint64_t>& sizes, const std::vector<bool>& x86,
                                       uint64_t target);

#endif  // LM_TOOLS_XZ_BLOCK_PLAN_H_
