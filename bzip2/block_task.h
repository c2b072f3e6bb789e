// One candidate block of a stream being decoded in parallel: the bits
// between one magic candidate and the next, and the state of its decoding.
// Made by the reading thread; decoded by a worker into a bounded ring that
// the reading thread drains.
#ifndef LM_BZIP2_BLOCK_TASK_H_
#define LM_BZIP2_BLOCK_TASK_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace bzip2 {

// Decoded bytes a task may keep before it must wait for the reader: enough
// for a whole block of ordinary data, so such blocks are delivered only
// after their CRC has been checked. (ParallelDecoder::SetRingBytesForTesting
// makes it smaller.)
const size_t kRingBytes = 1 << 20;

// The lock and wake-ups shared by the reading thread and the workers.
struct TaskSync {
  size_t ringBytes = kRingBytes;  // fixed before the workers start
  platform::Mutex mutex;
  platform::ConditionVariable reader;  // a task made progress or finished
  platform::ConditionVariable space;   // ring space was freed, or a task was cancelled
  platform::ConditionVariable work;    // a task was queued, or the workers must stop
  // Rings of delivered blocks, for the next tasks: one ring per block
  // allocated and freed would fragment the heap over a long stream.
  std::vector<std::unique_ptr<char[]>> spareRings;
};

struct BlockTask {
  enum class State {
    kPending,  // queued for a worker
    kRunning,
    kDone,       // decoded as exactly one block ending at `end`, CRC right
    kMergeable,  // not a block by itself; may be the start of one with the next task
    kFailed,     // cannot succeed as it stands: the exact path decides
  };

  // Fixed once the task is queued.
  uint64_t start = 0;  // bits into the compressed range
  uint64_t end = 0;
  std::vector<uint8_t> raw;  // bytes start/8 .. (end-1)/8, empty when oversize
  uint8_t head[10] = {};     // the first 80 bits from `start`, as far as known
  int headBits = 0;
  bool isBlock = false;  // starts with the block magic
  bool isEnd = false;    // starts with the end-of-stream magic
  bool oversize = false;
  bool last = false;  // ends where the range ends, not at a candidate
  uint32_t storedCrc = 0;

  // The reading thread's: handed to the workers.
  bool dispatched = false;

  // Guarded by TaskSync::mutex.
  State state = State::kPending;
  bool cancelled = false;
  bool streaming = false;  // the ring filled up: bytes go out before the CRC check
  std::unique_ptr<char[]> ring;
  uint64_t written = 0;  // bytes decoded into the ring
  uint64_t read = 0;     // bytes taken out of it
};

// A new pending task, shared by the reading thread and a worker. Not
// std::make_shared: its control block's type check links libstdc++'s
// shared_ptr.o, with a 1 KB mutex pool, into the launcher.
inline std::shared_ptr<BlockTask> NewBlockTask() { return std::shared_ptr<BlockTask>(new BlockTask()); }

}  // namespace bzip2

#endif  // LM_BZIP2_BLOCK_TASK_H_
