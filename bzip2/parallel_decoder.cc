#include "parallel_decoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>

#include "block_frame.h"
#include "bzip2_format.h"
#include "file_range.h"
#include "magic_scanner.h"
#include "resume_prefix.h"
#include "stream_decoder.h"
#include "task_decoder.h"

namespace bzip2 {

namespace {

const int kHeadBits = kMagicBits + 32;

std::atomic<size_t> g_ringBytesForTesting{0};

}  // namespace

void ParallelDecoder::SetRingBytesForTesting(size_t bytes) { g_ringBytesForTesting = bytes; }

ParallelDecoder::ParallelDecoder(FileRange* file, int workers, std::vector<uint64_t> extraCandidates)
    : file_(file), maxWorkers_(workers < 1 ? 1 : workers), cutter_(file, std::move(extraCandidates)) {
  size_t ring = g_ringBytesForTesting;
  if (ring > 0) sync_.ringBytes = ring;
}

ParallelDecoder::~ParallelDecoder() { StopWorkers(); }

int ParallelDecoder::Read(char* buffer, int size) {
  if (size <= 0) return -1;
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
    int n = merged_ ? ReadMerged(buffer, size) : ReadFromHead(buffer, size);
    if (n != kAgain) return n;
  }
}

// Goes parallel only for a stream that shows at least two blocks; anything
// else (one block, a header libbz2 must judge) is decoded sequentially.
void ParallelDecoder::Start() {
  started_ = true;
  if (!cutter_.Start(&level_)) {
    Resume(kHeaderBits, 0, 0);
    return;
  }
  while (!cutter_.ended() && cutter_.blockCandidates() < 2 && !cutter_.endCandidate() && !cutter_.openOversize()) {
    ReadMore();
  }
  if (cutter_.blockCandidates() < 2) {
    Resume(kHeaderBits, 0, 0);
    return;
  }
  dispatching_ = true;
  DispatchAhead();
}

int ParallelDecoder::ReadFromHead(char* buffer, int size) {
  TopUp(1);
  if (tasks_.empty()) return Resume(kHeaderBits, 0, 0);
  int n = Drain(tasks_.front().get(), buffer, size);
  return n != 0 ? n : Settle();
}

int ParallelDecoder::Drain(BlockTask* head, char* buffer, int size) {
  std::unique_lock<std::mutex> lock(sync_.mutex);
  for (;;) {
    bool running = head->state == BlockTask::State::kPending || head->state == BlockTask::State::kRunning;
    if (head->state == BlockTask::State::kPending && threads_.empty()) {
      lock.unlock();
      return Resume(head->start, 0, 0);  // no worker could be started
    }
    bool deliverable = head->state == BlockTask::State::kDone || (running && head->streaming);
    if (deliverable && head->written > head->read) {
      size_t at = static_cast<size_t>(head->read % sync_.ringBytes);
      size_t n = std::min<uint64_t>(head->written - head->read, sync_.ringBytes - at);
      n = std::min(n, static_cast<size_t>(size));
      const char* from = head->ring.get() + at;
      lock.unlock();
      memcpy(buffer, from, n);
      lock.lock();
      head->read += n;
      if (head->state != BlockTask::State::kDone) stats_.unchecked += n;
      sync_.space.notify_all();
      return static_cast<int>(n);
    }
    if (!running) return 0;
    sync_.reader.wait(lock);
  }
}

// The head task has stopped running and all its checked bytes are out.
int ParallelDecoder::Settle() {
  BlockTask* head = tasks_.front().get();
  BlockTask::State state;
  uint64_t read, written;
  {
    std::lock_guard<std::mutex> lock(sync_.mutex);
    state = head->state;
    read = head->read;
    written = head->written;
  }
  if (state == BlockTask::State::kDone) return FinishBlock(head->end);
  if (state == BlockTask::State::kMergeable) return Merge();
  return Resume(head->start, read, written - read);
}

// The head block is complete and ends at `end`: what follows must be the
// next block, or the end of the stream with the right combined CRC and
// nothing after it.
int ParallelDecoder::FinishBlock(uint64_t end) {
  combined_ = CombineCrc(combined_, tasks_.front()->storedCrc);
  ++stats_.blocks;
  {
    std::lock_guard<std::mutex> lock(sync_.mutex);
    std::unique_ptr<char[]>& ring = tasks_.front()->ring;
    if (ring && sync_.spareRings.size() <= static_cast<size_t>(maxWorkers_)) sync_.spareRings.push_back(std::move(ring));
  }
  tasks_.pop_front();
  TopUp(1);
  if (tasks_.empty()) return Resume(end, 0, 0);
  const BlockTask& next = *tasks_.front();
  if (next.isBlock) return kAgain;
  if (next.isEnd && next.headBits >= kHeadBits) return CheckEnd(next);
  return Resume(end, 0, 0);
}

int ParallelDecoder::CheckEnd(const BlockTask& end) {
  if (static_cast<uint32_t>(ReadBits(end.head, kMagicBits, 32)) != combined_) return Fail(Bzip2Failure::kCorrupt);
  uint64_t streamBytes = (end.start + kHeadBits + 7) / 8;
  if (streamBytes < file_->length()) return Fail(Bzip2Failure::kTrailingData);
  finished_ = true;
  StopWorkers();
  return 0;
}

// The head is no block by itself: try it together with the next task.
int ParallelDecoder::Merge() {
  TopUp(2);
  TaskPtr head = tasks_.front();
  if (tasks_.size() < 2) return Resume(head->start, 0, 0);
  TaskPtr next = tasks_[1];
  size_t headBytes = static_cast<size_t>(next->start / 8 - head->start / 8);
  if (head->oversize || next->oversize || headBytes + next->raw.size() > kMaxTaskBytes) {
    return Resume(head->start, 0, 0);
  }
  Cancel(next.get());
  TaskPtr merged = std::make_shared<BlockTask>();
  merged->start = head->start;
  merged->end = next->end;
  merged->raw.assign(head->raw.begin(), head->raw.begin() + static_cast<std::ptrdiff_t>(headBytes));
  merged->raw.insert(merged->raw.end(), next->raw.begin(), next->raw.end());
  memcpy(merged->head, head->head, sizeof(merged->head));
  merged->headBits = head->headBits;
  merged->isBlock = true;
  merged->storedCrc = head->storedCrc;
  merged->state = BlockTask::State::kRunning;
  tasks_.pop_front();
  tasks_.pop_front();
  tasks_.push_front(merged);
  DispatchAhead();
  ++stats_.merges;
  merged_.reset(new StreamDecoder(BlockFrame::Whole(level_, merged->raw.data(), merged->start & 7,
                                                    merged->end - merged->start, merged->storedCrc),
                                  nullptr, 0, sync_.ringBytes));
  return kAgain;
}

int ParallelDecoder::ReadMerged(char* buffer, int size) {
  BlockTask* head = tasks_.front().get();
  int n = merged_->Read(buffer, size);
  if (n > 0) {
    head->read += static_cast<uint64_t>(n);
    return n;
  }
  uint64_t produced = merged_->produced();
  uint64_t consumed = merged_->consumed();
  merged_.reset();
  if (n == 0) return FinishBlock(head->end);
  if (produced == 0 && consumed * 8 > kHeaderBits + (head->end - head->start)) return Merge();
  return Resume(head->start, head->read, produced - head->read);
}

// Hands the rest of the stream, from the block at bit `start`, to the
// sequential decoder. `skip` bytes of that block are already delivered;
// the `hold` after them were decoded but not yet checked.
int ParallelDecoder::Resume(uint64_t start, uint64_t skip, uint64_t hold) {
  StopWorkers();
  merged_.reset();
  tasks_.clear();
  cutter_.Release();
  (dispatching_ ? stats_.resumed : stats_.sequential) = true;
  std::vector<uint8_t> prefix;
  if (start == kHeaderBits) {
    if (!file_->Seek(0)) return Fail(Bzip2Failure::kIo);
  } else {
    int alignment = static_cast<int>(start & 7);
    uint8_t original = 0;
    if (!file_->Seek(start / 8)) return Fail(Bzip2Failure::kIo);
    if (alignment != 0 && file_->Read(&original, 1) != 1) return Fail(Bzip2Failure::kIo);
    size_t leadIn = 0;
    if (!ResumePrefix::Build(level_, combined_, alignment, original, &prefix, &leadIn)) {
      return Fail(Bzip2Failure::kCorrupt);
    }
    skip += leadIn;
  }
  resumed_.reset(new StreamDecoder(std::move(prefix), file_, skip, hold));
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

// Queues a task and starts a worker for it when none is idle.
void ParallelDecoder::Dispatch(const TaskPtr& task) {
  bool spawn;
  {
    std::lock_guard<std::mutex> lock(sync_.mutex);
    queue_.push_back(task);
    spawn = idle_ == 0 && static_cast<int>(threads_.size()) < maxWorkers_;
  }
  if (spawn) {
    try {
      threads_.emplace_back([this] { WorkerLoop(); });
      ++stats_.threads;
    } catch (const std::system_error&) {
      // Fewer workers; with none at all, Drain resumes sequentially.
    }
  }
  sync_.work.notify_one();
}

void ParallelDecoder::Cancel(BlockTask* task) {
  std::lock_guard<std::mutex> lock(sync_.mutex);
  task->cancelled = true;
  sync_.space.notify_all();
}

void ParallelDecoder::StopWorkers() {
  {
    std::lock_guard<std::mutex> lock(sync_.mutex);
    stop_ = true;
    for (const TaskPtr& task : tasks_) task->cancelled = true;
    queue_.clear();
  }
  sync_.work.notify_all();
  sync_.space.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

void ParallelDecoder::WorkerLoop() {
  TaskDecoder decoder(level_, &sync_);
  std::unique_lock<std::mutex> lock(sync_.mutex);
  for (;;) {
    ++idle_;
    while (!stop_ && queue_.empty()) sync_.work.wait(lock);
    --idle_;
    if (stop_) return;
    TaskPtr task = queue_.front();
    queue_.pop_front();
    if (task->cancelled) continue;
    task->state = BlockTask::State::kRunning;
    lock.unlock();
    decoder.Run(task.get());
    task.reset();
    lock.lock();
  }
}

}  // namespace bzip2
