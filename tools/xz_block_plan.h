// How lmpack cuts an xz payload's stream into blocks. Each block restarts
// LZMA2's dictionary, which costs compression, and lets the launcher decode
// it on a core of its own, which saves time; the x86 branch filter is
// chosen per block.
//
// A stream of S bytes becomes round(S / target) blocks of about equal
// size, so that they take about equally long to decode, each ending at the
// end of a file where one lies within 1/32 of `target` of the even cut,
// else inside the file. With `cutContents` (lmpack's default plan; a
// --block-size given is taken as it stands), a stream of less than one
// and a half targets is cut where its data ends and its programs begin,
// when each side holds at
// least 1/16 of it: programs and data share little, so that cut costs
// almost nothing (0.1 % on trees of Windows software, where an even cut
// costs 3 to 6 %) and the two blocks decode and encode on two cores. A
// block of which 32-bit x86 programs make up a quarter or more is encoded
// with the branch filter. The plan depends only on the sizes and the
// contents, never on the number of threads.
#ifndef LM_TOOLS_XZ_BLOCK_PLAN_H_
#define LM_TOOLS_XZ_BLOCK_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <vector>

// What a file holds, as far as the plan cares (stream_order.h tells): data,
// a program of x86-64 code, or one of 32-bit x86 code, the code the branch
// filter helps.
enum class BlockContent : uint8_t { kData, kProgram, kX86Program };

struct PlannedBlock {
  uint64_t start = 0;  // in the decoded stream
  uint64_t size = 0;
  bool x86 = false;  // 32-bit x86 programs make up a quarter or more: the branch filter is used
};

// The block size lmpack aims at when it is not told one, for a stream of
// `total` bytes: half the stream, so that a setup decodes on two cores,
// between 64 MiB (smaller blocks cost too much compression) and `largest`.
uint64_t DefaultXzBlockBytes(uint64_t total, uint64_t largest);

// `sizes` and `contents`: the files in stream order. No blocks when every
// file is empty.
std::vector<PlannedBlock> PlanXzBlocks(const std::vector<uint64_t>& sizes, const std::vector<BlockContent>& contents,
                                       uint64_t target, bool cutContents);

#endif  // LM_TOOLS_XZ_BLOCK_PLAN_H_
