// Decodes block tasks on a worker thread: each task's bits, framed as a
// one-block stream (BlockFrame), go through libbz2, and the decoded bytes
// into the task's ring, waiting while the ring is full.
#ifndef LM_BZIP2_TASK_DECODER_H_
#define LM_BZIP2_TASK_DECODER_H_

#include <cstdint>
#include <vector>

#include "bzip2/allocator_cache.h"
#include "bzip2/block_task.h"

namespace bzip2 {

class TaskDecoder {
 public:
  TaskDecoder(int level, TaskSync* sync, SparePool* spares) : level_(level), sync_(sync), cache_(spares) {}

  // Decodes a task in state kRunning and leaves it kDone, kMergeable (no
  // byte decoded, and libbz2 needed bits at or past the task's end, so more
  // bits could make it a block) or kFailed. Returns early, leaving the
  // state alone, when the task is cancelled.
  void Run(BlockTask* task);

 private:
  // Gives the task a spare ring, or a new one.
  void TakeRing(BlockTask* task);
  bool WaitForSpace(BlockTask* task, char** out, size_t* space);
  void Commit(BlockTask* task, size_t produced);

  int level_;
  TaskSync* sync_;
  AllocatorCache cache_;
  std::vector<uint8_t> input_;
};

}  // namespace bzip2

#endif  // LM_BZIP2_TASK_DECODER_H_
