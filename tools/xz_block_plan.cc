#include "tools/xz_block_plan.h"

namespace {

// Cuts the part [start, end) of the stream, whose file ends are `ends`
// (ascending, the last one `end`), into blocks.
void PlanPart(uint64_t start, uint64_t end, const std::vector<uint64_t>& ends, bool x86, uint64_t target,
              std::vector<PlannedBlock>* blocks) {
  const uint64_t size = end - start;
  if (size == 0) return;
  uint64_t count = (size + target / 2) / target;
  if (count == 0) count = 1;
  const uint64_t slack = target / 8;
  uint64_t from = start;
  size_t next = 0;  // first file end not yet passed
  for (uint64_t k = 1; k <= count; ++k) {
    uint64_t cut = start + size / count * k + (k == count ? size % count : 0);
    if (k < count) {
      // The file end nearest to the even cut, when one lies close enough.
      while (next < ends.size() && ends[next] + slack < cut) ++next;
      uint64_t best = cut;
      uint64_t bestDistance = slack + 1;
      for (size_t i = next; i < ends.size() && ends[i] <= cut + slack; ++i) {
        const uint64_t distance = ends[i] > cut ? ends[i] - cut : cut - ends[i];
        if (distance < bestDistance) {
          best = ends[i];
          bestDistance = distance;
        }
      }
      cut = best;
    }
    if (cut <= from) continue;
    blocks->push_back({from, cut - from, x86});
    from = cut;
  }
}

}  // namespace

std::vector<PlannedBlock> PlanXzBlocks(const std::vector<uint64_t>& sizes, const std::vector<bool>& x86,
                                       uint64_t target) {
  std::vector<PlannedBlock> blocks;
  uint64_t position = 0;
  size_t i = 0;
  while (i < sizes.size()) {
    const bool kind = x86[i];
    const uint64_t start = position;
    std::vector<uint64_t> ends;
    for (; i < sizes.size() && x86[i] == kind; ++i) {
      position += sizes[i];
      ends.push_back(position);
    }
    PlanPart(start, position, ends, kind, target, &blocks);
  }
  return blocks;
}
