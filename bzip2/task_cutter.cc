#include "bzip2/task_cutter.h"

#include <algorithm>
#include <cstring>

#include "bzip2/bzip2_format.h"
#include "bzip2/magic_scanner.h"
#include "util/byte_source.h"

namespace bzip2 {

namespace {

// Compressed bytes read at a time.
const size_t kReadPiece = 256 << 10;
// A hit needs this many bytes after the byte it starts in.
const size_t kScanReach = 6;

}  // namespace

TaskCutter::TaskCutter(util::ByteSource* file, std::vector<uint64_t> extraCandidates)
    : file_(file), extra_(std::move(extraCandidates)), endBit_(file->remaining() * 8) {
  std::sort(extra_.begin(), extra_.end());
  extra_.erase(std::unique(extra_.begin(), extra_.end()), extra_.end());
}

bool TaskCutter::Start(int* level) {
  // Room for the longest task kept whole and a piece more, once: a window
  // grown by doubling would end up twice that size, all of it touched.
  window_.reserve(std::min<uint64_t>(file_->remaining(), kMaxTaskBytes) + 2 * kReadPiece);
  window_.resize(file_->PieceOf(kReadPiece));
  int64_t n = file_->Read(window_.data(), window_.size());
  window_.resize(n > 0 ? static_cast<size_t>(n) : 0);
  const uint8_t* w = window_.data();
  if (n < 10 || LevelOfHeader(static_cast<uint32_t>(ReadBits(w, 0, kHeaderBits))) == 0) return false;
  if (ReadBits(w, kHeaderBits, kMagicBits) != kBlockMagic) return false;
  *level = LevelOfHeader(static_cast<uint32_t>(ReadBits(w, 0, kHeaderBits)));
  openStart_ = kHeaderBits;
  scanByte_ = kHeaderBits / 8;
  blockCandidates_ = 1;
  return true;
}

void TaskCutter::Release() {
  std::vector<uint8_t>().swap(window_);
  ended_ = true;
}

void TaskCutter::ReadMore(Tasks* tasks) {
  if (ended_) return;
  Trim();
  size_t old = window_.size();
  size_t piece = file_->PieceOf(kReadPiece);
  window_.resize(old + piece);
  int64_t n = file_->Read(window_.data() + old, piece);
  window_.resize(old + (n > 0 ? static_cast<size_t>(n) : 0));
  if (n > 0) {
    Scan(false, tasks);
    if (!openOversize_ && WindowEndBit() - openStart_ > kMaxTaskBytes * 8) {
      CaptureHead(openStart_, openHead_, &openHeadBits_);
      openOversize_ = true;
    }
    return;
  }
  ioError_ = n < 0;
  Scan(true, tasks);
  ended_ = true;
  Close(ioError_ ? WindowEndBit() : endBit_, true, tasks);
}

// Drops the bytes no task needs any more.
void TaskCutter::Trim() {
  uint64_t keep = openOversize_ ? scanByte_ : std::min(openStart_ / 8, scanByte_);
  if (keep <= windowStart_) return;
  window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(keep - windowStart_));
  windowStart_ = keep;
}

void TaskCutter::Scan(bool final, Tasks* tasks) {
  uint64_t windowEnd = windowStart_ + window_.size();
  uint64_t limit = final ? windowEnd : (windowEnd > kScanReach ? windowEnd - kScanReach : 0);
  std::vector<MagicScanner::Hit> hits;
  if (limit > scanByte_) {
    size_t size = window_.size();
    window_.resize(size + kScanReach + 1, 0);  // zeros to scan the last bytes against
    MagicScanner::Scan(window_.data(), static_cast<size_t>(scanByte_ - windowStart_),
                       static_cast<size_t>(limit - windowStart_), &hits);
    window_.resize(size);
    scanByte_ = limit;
  }
  std::vector<uint64_t> candidates;
  for (const MagicScanner::Hit& hit : hits) {
    uint64_t bit = windowStart_ * 8 + hit.bit;
    if (bit + kMagicBits <= windowEnd * 8) candidates.push_back(bit);
  }
  AddExtra(final ? windowEnd * 8 : limit * 8, &candidates);
  for (uint64_t bit : candidates) OnCandidate(bit, tasks);
}

void TaskCutter::AddExtra(uint64_t limitBit, std::vector<uint64_t>* candidates) {
  size_t found = candidates->size();
  while (extraAt_ < extra_.size() && extra_[extraAt_] < limitBit) candidates->push_back(extra_[extraAt_++]);
  if (candidates->size() == found) return;
  std::sort(candidates->begin(), candidates->end());
  candidates->erase(std::unique(candidates->begin(), candidates->end()), candidates->end());
}

void TaskCutter::OnCandidate(uint64_t bit, Tasks* tasks) {
  // Duplicates, the first block again, and extra positions whose bytes are
  // gone (inside an oversize task) are no new candidates.
  if (bit <= openStart_ || bit < windowStart_ * 8) return;
  if (bit + kMagicBits <= WindowEndBit()) {
    uint64_t magic = ReadBits(window_.data(), bit - windowStart_ * 8, kMagicBits);
    if (magic == kBlockMagic) ++blockCandidates_;
    if (magic == kEndMagic) endCandidate_ = true;
  }
  Close(bit, false, tasks);
  openStart_ = bit;
  openOversize_ = false;
  openHeadBits_ = 0;
}

void TaskCutter::Close(uint64_t end, bool last, Tasks* tasks) {
  std::shared_ptr<BlockTask> task = NewBlockTask();
  task->start = openStart_;
  task->end = end;
  task->last = last;
  task->oversize = openOversize_;
  if (openOversize_) {
    memcpy(task->head, openHead_, sizeof(task->head));
    task->headBits = openHeadBits_;
  } else {
    CaptureHead(openStart_, task->head, &task->headBits);
    const uint8_t* from = window_.data() + (openStart_ / 8 - windowStart_);
    task->raw.assign(from, from + ((end + 7) / 8 - openStart_ / 8));
  }
  Classify(task.get());
  tasks->push_back(std::move(task));
}

void TaskCutter::Classify(BlockTask* task) const {
  if (task->headBits >= kMagicBits) {
    uint64_t magic = ReadBits(task->head, 0, kMagicBits);
    task->isBlock = magic == kBlockMagic;
    task->isEnd = magic == kEndMagic;
  }
  if (task->headBits >= kBlockHeadBits) task->storedCrc = static_cast<uint32_t>(ReadBits(task->head, kMagicBits, 32));
  bool sized = task->headBits >= kBlockHeadBits && task->end - task->start > static_cast<uint64_t>(kBlockHeadBits);
  if (task->isBlock && task->oversize) {
    task->state = BlockTask::State::kFailed;  // for the sequential decoder
  } else if (task->isBlock && sized) {
    task->state = BlockTask::State::kPending;
  } else {
    task->state = BlockTask::State::kMergeable;
  }
}

void TaskCutter::CaptureHead(uint64_t start, uint8_t head[10], int* bits) const {
  uint64_t available = WindowEndBit() - start;
  int count = available < static_cast<uint64_t>(kBlockHeadBits) ? static_cast<int>(available) : kBlockHeadBits;
  memset(head, 0, 10);
  for (int i = 0; i * 8 < count; ++i) {
    int take = count - i * 8 < 8 ? count - i * 8 : 8;
    head[i] = static_cast<uint8_t>(ReadBits(window_.data(), start - windowStart_ * 8 + 8 * i, take) << (8 - take));
  }
  *bits = count;
}

}  // namespace bzip2
