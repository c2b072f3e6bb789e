// Decodes one bzip2 stream with several threads, giving exactly what the
// sequential decoder gives.
//
// The reading thread scans the compressed bits for the block and
// end-of-stream magics and cuts them into tasks at every candidate. Workers
// decode each block task as a one-block stream of its own (TaskDecoder); the
// reading thread takes the decoded bytes in stream order, checks that each
// block ends where the next one begins and folds the block CRCs into the
// combined CRC, which it checks against the stream's at the end.
//
// A candidate inside a block's data (a false match) leaves a task that is no
// block by itself: it is merged with the following task and the merge is
// decoded again, as a task like any other. Whatever the tasks cannot settle
// (damaged data, truncation, a block larger than the bound kept in memory,
// candidates that merges do not resolve) is handed to the sequential
// decoder, restarted from the stream's start and skipping the bytes already
// delivered, which then decides the outcome exactly as it would have from
// the start. That happens only in damaged or hostile streams, and costs at
// most a second decoding of what came before.
//
// Memory: only the first workers + 1 tasks in stream order are decoded, each
// into a ring of kRingBytes; the few tasks cut beyond them hold only their
// compressed bits. Plus libbz2's arrays per worker, and one worker more
// when a merge makes a head while every worker waits on a task behind it.
#ifndef LM_BZIP2_PARALLEL_DECODER_H_
#define LM_BZIP2_PARALLEL_DECODER_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "bzip2/block_task.h"
#include "bzip2/bzip2_failure.h"
#include "bzip2/bzip2_reader.h"
#include "bzip2/task_cutter.h"
#include "bzip2/task_decoder.h"
#include "util/worker_pool.h"

namespace bzip2 {

class StreamDecoder;

class ParallelDecoder {
 public:
  // `source` (not owned) is positioned at the start of the range.
  ParallelDecoder(util::ByteSource* source, const Bzip2ReaderOptions& options);
  ~ParallelDecoder();
  ParallelDecoder(const ParallelDecoder&) = delete;
  ParallelDecoder& operator=(const ParallelDecoder&) = delete;

  // As Bzip2Reader::Read; call again only after a positive result.
  int Read(char* buffer, int size);
  Bzip2Failure failure() const { return failure_; }
  const ParallelStats& stats() const { return stats_; }

 private:
  using TaskPtr = std::shared_ptr<BlockTask>;

  // Results of the steps of Read besides delivered bytes.
  static const int kAgain = -2;

  void Start();
  int ReadFromHead(char* buffer, int size);
  int Drain(BlockTask* head, char* buffer, int size);
  int Settle();
  int FinishBlock();
  int CheckEnd(const BlockTask& end);
  int Merge();
  int Resume(uint64_t hold);
  int Fail(Bzip2Failure failure);

  // Reads on until at least `minimum` tasks (and workers + 1) are known.
  void TopUp(size_t minimum);
  void ReadMore();
  // Hands the undecoded ones among the first workers + 1 tasks to the workers.
  void DispatchAhead();
  void Dispatch(const TaskPtr& task);
  void Cancel(BlockTask* task);
  void StopWorkers();

  util::ByteSource* file_;
  const int maxWorkers_;
  SparePool* spares_;
  TaskCutter cutter_;
  int level_ = 9;

  TaskSync sync_;
  util::WorkerPool<TaskDecoder> pool_;

  // The reading thread's.
  bool started_ = false;
  bool finished_ = false;
  bool dispatching_ = false;
  std::deque<TaskPtr> tasks_;  // in stream order, the head first
  uint32_t combined_ = 0;      // of the blocks delivered
  uint64_t delivered_ = 0;     // bytes handed out by Read
  std::unique_ptr<StreamDecoder> resumed_;
  Bzip2Failure failure_ = Bzip2Failure::kNone;
  ParallelStats stats_;
};

}  // namespace bzip2

#endif  // LM_BZIP2_PARALLEL_DECODER_H_
