#include "bzip2/task_decoder.h"

#include <cstring>

#include <bzlib.h>
#include "bzip2/block_frame.h"
#include "platform/memory.h"

namespace bzip2 {

namespace {

// Frame bytes handed to libbz2 at a time.
const size_t kInputPiece = 64 << 10;

}  // namespace

bool TaskDecoder::WaitForSpace(BlockTask* task, char** out, size_t* space) {
  platform::MutexLock lock(&sync_->mutex);
  for (;;) {
    if (task->cancelled) return false;
    uint64_t used = task->written - task->read;
    const size_t ring = sync_->ringBytes;
    if (used < ring) {
      size_t at = static_cast<size_t>(task->written % ring);
      size_t free = static_cast<size_t>(ring - used);
      *space = free < ring - at ? free : ring - at;
      *out = task->ring.get() + at;
      return true;
    }
    if (!task->streaming) {
      task->streaming = true;
      sync_->reader.NotifyAll();
    }
    sync_->space.Wait(&lock);
  }
}

void TaskDecoder::Commit(BlockTask* task, size_t produced) {
  if (produced == 0) return;
  platform::MutexLock lock(&sync_->mutex);
  task->written += produced;
  if (task->streaming) sync_->reader.NotifyAll();
}

void TaskDecoder::TakeRing(BlockTask* task) {
  {
    platform::MutexLock lock(&sync_->mutex);
    if (!sync_->spareRings.empty()) {
      task->ring = std::move(sync_->spareRings.back());
      sync_->spareRings.pop_back();
    }
  }
  if (!task->ring) {
    std::unique_ptr<char[]> ring(new char[sync_->ringBytes]);
    platform::MutexLock lock(&sync_->mutex);
    task->ring = std::move(ring);
  }
}

void TaskDecoder::Run(BlockTask* task) {
  // Memory ran out: the reader stops; no ring is taken for this task.
  if (platform::MemoryRanOut()) {
    platform::MutexLock lock(&sync_->mutex);
    task->state = BlockTask::State::kFailed;
    sync_->reader.NotifyAll();
    return;
  }
  BlockFrame frame(level_, task->raw.data(), task->start & 7, task->end - task->start, task->storedCrc);
  TakeRing(task);
  bz_stream bz;
  memset(&bz, 0, sizeof(bz));
  bz.bzalloc = AllocatorCache::Alloc;
  bz.bzfree = AllocatorCache::Free;
  bz.opaque = &cache_;
  BlockTask::State outcome = BlockTask::State::kFailed;
  bool cancelled = false;
  uint64_t produced = 0;
  if (BZ2_bzDecompressInit(&bz, 0, 0) == BZ_OK) {
    for (;;) {
      if (bz.avail_in == 0 && !frame.done()) {
        frame.Next(&input_, kInputPiece);
        bz.next_in = reinterpret_cast<char*>(input_.data());
        bz.avail_in = static_cast<unsigned>(input_.size());
      }
      char* out;
      size_t space;
      if (!WaitForSpace(task, &out, &space)) {
        cancelled = true;
        break;
      }
      bz.next_out = out;
      bz.avail_out = static_cast<unsigned>(space);
      int result = BZ2_bzDecompress(&bz);
      size_t n = space - bz.avail_out;
      produced += n;
      Commit(task, n);
      if (result == BZ_STREAM_END) {
        // Only a block that ends exactly where the frame's magic begins
        // leaves no input over.
        if (bz.avail_in == 0 && frame.done()) outcome = BlockTask::State::kDone;
        break;
      }
      if (result != BZ_OK) break;
      if (bz.avail_in == 0 && frame.done() && bz.avail_out > 0) break;  // wants more bits
    }
    uint64_t consumed = (static_cast<uint64_t>(bz.total_in_hi32) << 32) | bz.total_in_lo32;
    if (outcome != BlockTask::State::kDone && produced == 0 && consumed * 8 > frame.endBit()) {
      outcome = BlockTask::State::kMergeable;
    }
    BZ2_bzDecompressEnd(&bz);
  }
  platform::MutexLock lock(&sync_->mutex);
  if (!cancelled) task->state = outcome;
  sync_->reader.NotifyAll();
}

}  // namespace bzip2
