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
// decoded again. Whatever the tasks cannot settle (damaged data, truncation,
// a block larger than the bound kept in memory, candidates that merges do
// not resolve) is handed to the sequential decoder, resumed at the first
// unfinished block (ResumePrefix), which then decides the outcome exactly
// as it would have from the start.
//
// Memory: only the first workers + 1 tasks in stream order are decoded, each
// into a ring of kRingBytes; the few tasks cut beyond them hold only their
// compressed bits. Plus libbz2's arrays per worker.
#ifndef LM_BZIP2_PARALLEL_DECODER_H_
#define LM_BZIP2_PARALLEL_DECODER_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "block_task.h"
#include "bzip2_failure.h"
#include "task_cutter.h"

namespace bzip2 {

class FileRange;
class StreamDecoder;

struct ParallelStats {
  int threads = 0;     // workers started
  int blocks = 0;      // blocks confirmed by the parallel path
  int merges = 0;      // tasks merged with the next after failing alone
  int mostAhead = 0;   // most tasks handed to workers and not yet delivered at once
  // Bytes delivered before the CRC of their block was checked: those of
  // blocks too large for the ring, and all the sequential decoder delivers
  // after taking over.
  uint64_t unchecked = 0;
  bool sequential = false;  // too few blocks to share: sequential from the start
  bool resumed = false;     // the sequential decoder took over part way
};

class ParallelDecoder {
 public:
  // `file` (not owned) is positioned at the start of the range.
  // `extraCandidates`: bit positions treated as magic candidates besides
  // the ones found, for tests of the merge rule.
  ParallelDecoder(FileRange* file, int workers, std::vector<uint64_t> extraCandidates);
  ~ParallelDecoder();
  ParallelDecoder(const ParallelDecoder&) = delete;
  ParallelDecoder& operator=(const ParallelDecoder&) = delete;

  // Decoders made from now on keep at most `bytes` decoded bytes per task
  // (0: kRingBytes), so that tests and fuzzing reach the path of blocks too
  // large for the ring with small inputs. Not for use in the product.
  static void SetRingBytesForTesting(size_t bytes);

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
  int ReadMerged(char* buffer, int size);
  int Drain(BlockTask* head, char* buffer, int size);
  int Settle();
  int FinishBlock(uint64_t end);
  int CheckEnd(const BlockTask& end);
  int Merge();
  int Resume(uint64_t start, uint64_t skip, uint64_t hold);
  int Fail(Bzip2Failure failure);

  // Reads on until at least `minimum` tasks (and workers + 1) are known.
  void TopUp(size_t minimum);
  void ReadMore();
  // Hands the undecoded ones among the first workers + 1 tasks to the workers.
  void DispatchAhead();
  void Dispatch(const TaskPtr& task);
  void Cancel(BlockTask* task);
  void StopWorkers();
  void WorkerLoop();

  FileRange* file_;
  const int maxWorkers_;
  TaskCutter cutter_;
  int level_ = 9;

  TaskSync sync_;
  // Guarded by sync_.mutex.
  std::deque<TaskPtr> queue_;
  int idle_ = 0;
  bool stop_ = false;

  // The reading thread's.
  std::vector<std::thread> threads_;
  bool started_ = false;
  bool finished_ = false;
  bool dispatching_ = false;
  std::deque<TaskPtr> tasks_;  // in stream order, the head first
  uint32_t combined_ = 0;      // of the blocks delivered
  std::unique_ptr<StreamDecoder> merged_;
  std::unique_ptr<StreamDecoder> resumed_;
  Bzip2Failure failure_ = Bzip2Failure::kNone;
  ParallelStats stats_;
};

}  // namespace bzip2

#endif  // LM_BZIP2_PARALLEL_DECODER_H_
