#include "bzip2/parallel_decoder.h"

#include <algorithm>
#include <cstring>

#include "bzip2/bzip2_format.h"
#include "bzip2/magic_scanner.h"
#include "bzip2/stream_decoder.h"
#include "bzip2/task_decoder.h"
#include "platform/memory.h"
#include "util/byte_source.h"

namespace bzip2 {

ParallelDecoder::ParallelDecoder(util::ByteSource* source, const Bzip2ReaderOptions& options)
    : file_(source),
      maxWorkers_(options.workers < 1 ? 1 : options.workers),
      spares_(options.spares),
      cutter_(source, options.extraCandidates),
      pool_(maxWorkers_, [this] { return std::unique_ptr<TaskDecoder>(new TaskDecoder(level_, &sync_, spares_)); }) {
  if (options.ringBytes > 0) sync_.ringBytes = options.ringBytes;
}

ParallelDecoder::~ParallelDecoder() { StopWorkers(); }

int ParallelDecoder::Read(char* buffer, int size) {
  if (size <= 0) return -1;
  // Once an allocation has failed, no further block is cut or decoded:
  // each takes megabytes, which the reserve is not for.
  if (platform::MemoryRanOut()) return Fail(Bzip2Failure::kNoMemory);
  if (!started_) Start();
  for (;;) {
    if (resumed_) {
      int n = resumed_->Read(buffer, size);
      if (n < 0) failure_ = resumed_->failure();
      if (n > 0 && stats_.resumed) stats_.unchecked += static_cast<uint64_t>(n);
      return n;
    }
    if (failure_ != Bzip2Failure::kNone) return -1;
    if (finished_) return 0;
    int n = ReadFromHead(buffer, size);
    if (n > 0) delivered_ += static_cast<uint64_t>(n);
    if (n != kAgain) return n;
  }
}

// Goes parallel only for a stream that shows at least two blocks; anything
// else (one block, a header libbz2 must judge) is decoded sequentially.
void ParallelDecoder::Start() {
  started_ = true;
  if (!cutter_.Start(&level_)) {
    Resume(0);
    return;
  }
  while (!cutter_.ended() && cutter_.blockCandidates() < 2 && !cutter_.endCandidate() && !cutter_.openOversize()) {
    ReadMore();
  }
  if (cutter_.blockCandidates() < 2) {
    Resume(0);
    return;
  }
  dispatching_ = true;
  DispatchAhead();
}

int ParallelDecoder::ReadFromHead(char* buffer, int size) {
  TopUp(1);
  if (tasks_.empty()) return Resume(0);
  int n = Drain(tasks_.front().get(), buffer, size);
  return n != 0 ? n : Settle();
}

int ParallelDecoder::Drain(BlockTask* head, char* buffer, int size) {
  platform::MutexLock lock(&sync_.mutex);
  for (;;) {
    bool running = head->state == BlockTask::State::kPending || head->state == BlockTask::State::kRunning;
    if (head->state == BlockTask::State::kPending && pool_.threads() == 0) {
      lock.Unlock();
      return Resume(0);  // no worker could be started
    }
    bool deliverable = head->state == BlockTask::State::kDone || (running && head->streaming);
    if (deliverable && head->written > head->read) {
      size_t at = static_cast<size_t>(head->read % sync_.ringBytes);
      size_t n = std::min<uint64_t>(head->written - head->read, sync_.ringBytes - at);
      n = std::min(n, static_cast<size_t>(size));
      const char* from = head->ring.get() + at;
      lock.Unlock();
      memcpy(buffer, from, n);
      lock.Lock();
      head->read += n;
      if (head->state != BlockTask::State::kDone) stats_.unchecked += n;
      sync_.space.NotifyAll();
      return static_cast<int>(n);
    }
    if (!running) return 0;
    sync_.reader.Wait(&lock);
  }
}

// The head task has stopped running and all its checked bytes are out.
int ParallelDecoder::Settle() {
  BlockTask* head = tasks_.front().get();
  BlockTask::State state;
  uint64_t read, written;
  {
    platform::MutexLock lock(&sync_.mutex);
    state = head->state;
    read = head->read;
    written = head->written;
  }
  if (state == BlockTask::State::kDone) return FinishBlock();
  if (state == BlockTask::State::kMergeable) return Merge();
  return Resume(written - read);
}

// The head block is complete: what follows must be the next block, or the
// end of the stream with the right combined CRC and nothing after it.
int ParallelDecoder::FinishBlock() {
  combined_ = CombineCrc(combined_, tasks_.front()->storedCrc);
  ++stats_.blocks;
  {
    platform::MutexLock lock(&sync_.mutex);
    std::unique_ptr<char[]>& ring = tasks_.front()->ring;
    if (ring && sync_.spareRings.size() <= static_cast<size_t>(maxWorkers_))
      sync_.spareRings.push_back(std::move(ring));
  }
  tasks_.pop_front();
  TopUp(1);
  if (tasks_.empty()) return Resume(0);
  const BlockTask& next = *tasks_.front();
  if (next.isBlock) return kAgain;
  if (next.isEnd && next.headBits >= kBlockHeadBits) return CheckEnd(next);
  return Resume(0);
}

int ParallelDecoder::CheckEnd(const BlockTask& end) {
  if (static_cast<uint32_t>(ReadBits(end.head, kMagicBits, 32)) != combined_) return Fail(Bzip2Failure::kCorrupt);
  uint64_t streamBytes = (end.start + kBlockHeadBits + 7) / 8;
  if (streamBytes < file_->length()) return Fail(Bzip2Failure::kTrailingData);
  finished_ = true;
  StopWorkers();
  return 0;
}

// The head is no block by itself: try it together with the next task.
int ParallelDecoder::Merge() {
  TopUp(2);
  TaskPtr head = tasks_.front();
  if (tasks_.size() < 2) return Resume(0);
  TaskPtr next = tasks_[1];
  size_t headBytes = static_cast<size_t>(next->start / 8 - head->start / 8);
  if (head->oversize || next->oversize || headBytes + next->raw.size() > kMaxTaskBytes) {
    return Resume(0);
  }
  Cancel(next.get());
  TaskPtr merged = NewBlockTask();
  merged->start = head->start;
  merged->end = next->end;
  merged->raw.assign(head->raw.begin(), head->raw.begin() + static_cast<std::ptrdiff_t>(headBytes));
  merged->raw.insert(merged->raw.end(), next->raw.begin(), next->raw.end());
  memcpy(merged->head, head->head, sizeof(merged->head));
  merged->headBits = head->headBits;
  merged->isBlock = true;
  merged->last = next->last;
  merged->storedCrc = head->storedCrc;
  tasks_.pop_front();
  tasks_.pop_front();
  tasks_.push_front(merged);
  ++stats_.merges;
  DispatchAhead();
  return kAgain;
}

// Hands the stream to the sequential decoder, restarted from its start: it
// skips the bytes Read already delivered, and keeps back the `hold` after
// them that were decoded but not yet checked.
int ParallelDecoder::Resume(uint64_t hold) {
  StopWorkers();
  tasks_.clear();
  cutter_.Release();
  (dispatching_ ? stats_.resumed : stats_.sequential) = true;
  if (!file_->Seek(0)) return Fail(Bzip2Failure::kIo);
  resumed_.reset(new StreamDecoder(file_, delivered_, hold, spares_));
  return kAgain;
}

int ParallelDecoder::Fail(Bzip2Failure failure) {
  failure_ = failure;
  StopWorkers();
  return -1;
}

}  // namespace bzip2

namespace bzip2 {

void ParallelDecoder::TopUp(size_t minimum) {
  size_t wanted = std::max(minimum, static_cast<size_t>(maxWorkers_) + 1);
  while (!cutter_.ended() && tasks_.size() < wanted) ReadMore();
  if (dispatching_) DispatchAhead();
}

void ParallelDecoder::ReadMore() {
  std::vector<TaskPtr> fresh;
  cutter_.ReadMore(&fresh);
  for (TaskPtr& task : fresh) tasks_.push_back(std::move(task));
}

void ParallelDecoder::DispatchAhead() {
  size_t ahead = std::min(tasks_.size(), static_cast<size_t>(maxWorkers_) + 1);
  for (size_t i = 0; i < ahead; ++i) {
    const TaskPtr& task = tasks_[i];
    if (task->dispatched || task->state != BlockTask::State::kPending) continue;
    task->dispatched = true;
    Dispatch(task);
  }
  int dispatched = 0;
  for (const TaskPtr& task : tasks_) dispatched += task->dispatched ? 1 : 0;
  stats_.mostAhead = std::max(stats_.mostAhead, dispatched);
}

// The head goes first, on a thread of its own if need be: the workers may
// all be waiting for the reading thread to drain tasks behind it (a merge
// makes a new head after they were dispatched).
void ParallelDecoder::Dispatch(const TaskPtr& task) {
  bool head = !tasks_.empty() && tasks_.front() == task;
  pool_.Post(
      [this, task](TaskDecoder* decoder) {
        {
          platform::MutexLock lock(&sync_.mutex);
          if (task->cancelled) return;
          task->state = BlockTask::State::kRunning;
        }
        decoder->Run(task.get());
      },
      head);
  stats_.threads = std::max(stats_.threads, pool_.threads());
}

void ParallelDecoder::Cancel(BlockTask* task) {
  platform::MutexLock lock(&sync_.mutex);
  task->cancelled = true;
  sync_.space.NotifyAll();
}

void ParallelDecoder::StopWorkers() {
  {
    platform::MutexLock lock(&sync_.mutex);
    for (const TaskPtr& task : tasks_) task->cancelled = true;
  }
  sync_.space.NotifyAll();
  pool_.Stop();
}

}  // namespace bzip2
