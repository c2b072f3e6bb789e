// Differential: the same bytes as a compressed stream, decoded on one
// thread and with 2 or 4 workers (the input's length picks which), must
// give the same bytes or both fail. Before failing, the parallel path may
// deliver other bytes than one thread only where it sent bytes unchecked
// (a block decoding to more than its ring, which in a damaged stream may
// have been cut at a false candidate).
//
// The two readers are drained in lockstep and compared piece by piece, so
// an input that expands a thousandfold costs no memory and the comparison
// stops after kMaxCompared bytes. The parallel reader's rings are made small
// (kRingBytes) so that blocks too large for them, the path where bytes go
// out before their check, take kilobytes of output rather than megabytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bzip2/allocator_cache.h"
#include "bzip2/bzip2_reader.h"
#include "util/byte_source.h"

namespace {

const size_t kRingBytes = 64u << 10;
const size_t kMaxCompared = 512u << 10;
const int kPiece = 16384;

// One reader and the bytes it delivered that the other has not matched yet.
struct Side {
  Side(const std::string& input) : source(input.data(), input.size()) {}
  util::MemoryRange source;
  Bzip2Reader reader;
  std::vector<char> pending;
  size_t at = 0;   // first unmatched byte of pending
  int result = 1;  // last Read result once <= 0
  bool opened = false;

  bool Done() const { return result <= 0; }
  size_t Unmatched() const { return pending.size() - at; }
  // Reads one more piece into pending when everything is matched.
  void Refill() {
    if (Done() || Unmatched() > 0) return;
    pending.resize(kPiece);
    at = 0;
    int n = opened ? reader.Read(pending.data(), kPiece) : -1;
    pending.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (n <= 0) result = n;
  }
};

bool OpenSide(Side* side, int workers) {
  // Many short streams of several threads each: libbz2's arrays are reused
  // rather than mapped anew for every one.
  static bzip2::SparePool spares(16);
  Bzip2ReaderOptions options;
  options.workers = workers;
  options.ringBytes = kRingBytes;
  options.spares = &spares;
  side->opened = side->reader.Open(&side->source, options);
  if (!side->opened) side->result = -1;
  return side->opened;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Block sizes above 300k symbols are folded down: the inverse transform
  // of a 900k-symbol block, which one kilobyte of input can describe, costs
  // milliseconds and reaches nothing smaller blocks do not (every level is
  // decoded by the unit tests).
  std::string input(reinterpret_cast<const char*>(data), size);
  if (size > 3 && input[3] > '3' && input[3] <= '9') input[3] = static_cast<char>('1' + (input[3] - '1') % 3);
  Side one(input), many(input);
  if (OpenSide(&one, 1) != OpenSide(&many, size % 2 == 0 ? 2 : 4)) __builtin_trap();
  size_t compared = 0;
  bool diverged = false;
  while (compared < kMaxCompared) {
    one.Refill();
    many.Refill();
    size_t n = std::min(one.Unmatched(), many.Unmatched());
    if (n == 0) break;
    if (memcmp(one.pending.data() + one.at, many.pending.data() + many.at, n) != 0) {
      // Only bytes sent before their block's check may differ, and then
      // the stream must turn out damaged for both.
      if (many.reader.stats().unchecked == 0) __builtin_trap();
      diverged = true;
      break;
    }
    one.at += n;
    many.at += n;
    compared += n;
  }
  if (compared >= kMaxCompared) return 0;
  // One side has ended with every byte it gave matched. Drain the other:
  // both must succeed with the same length, or both fail.
  bool oneLonger = !one.Done() || one.Unmatched() > 0;
  bool manyLonger = !many.Done() || many.Unmatched() > 0;
  for (Side* side : {&one, &many}) {
    while (!side->Done() && compared < kMaxCompared) {
      compared += side->Unmatched();
      side->at = side->pending.size();
      side->Refill();
    }
  }
  if (!one.Done() || !many.Done()) return 0;
  if ((one.result == 0) != (many.result == 0)) __builtin_trap();
  if (one.result == 0 && (oneLonger || manyLonger || diverged)) __builtin_trap();
  return 0;
}
