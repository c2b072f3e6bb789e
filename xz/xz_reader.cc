#include "xz/xz_reader.h"

#include <lzma.h>

#include <atomic>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "xz/xz_block_decoder.h"
#include "xz/xz_failure.h"
#include "xz/xz_stream_index.h"
#include "xz/xz_stream_info.h"

namespace xz {

namespace {

// Shared by the workers: which block comes next, and each block's result.
// The answer is the failure of the lowest block that fails, as decoding in
// order would give: a failure stops the blocks behind it, never those
// before it.
class BlockQueue {
 public:
  BlockQueue(const XzStreamIndex& index, DecodedOutput* output)
      : index_(index), output_(output), results_(index.blocks().size()) {}

  // Decodes blocks until none is left or one before the next has failed.
  void Work(util::ByteSource* source, XzBlockDecoder* decoder) {
    for (;;) {
      const size_t i = next_.fetch_add(1);
      if (i >= results_.size() || i > firstFailed_.load()) return;
      results_[i] =
          decoder->Decode(source, index_.blocks()[i], index_.check(), static_cast<int>(i), output_, &firstFailed_);
      if (results_[i].ok()) continue;
      size_t first = firstFailed_.load();
      while (i < first && !firstFailed_.compare_exchange_weak(first, i)) {
      }
    }
  }

  Result FirstFailure() const {
    const size_t first = firstFailed_.load();
    return first < results_.size() ? results_[first] : Result();
  }

 private:
  const XzStreamIndex& index_;
  DecodedOutput* output_;
  std::atomic<size_t> next_{0};
  std::atomic<size_t> firstFailed_{~size_t{0}};
  std::vector<Result> results_;  // each written by the worker that took the block
};

// Runs `workers` - 1 threads besides this one on `queue`; each thread
// decodes from its own reader of the range. Fewer run when the system
// gives fewer threads or readers. Every worker is allocated before the
// first thread starts, so that nothing fails between a start and its join.
void RunWorkers(util::ByteSource* source, int workers, BlockQueue* queue) {
  struct Worker {
    std::unique_ptr<util::ByteSource> source;
    XzBlockDecoder decoder;
    platform::Thread thread;
  };
  std::vector<std::unique_ptr<Worker>> others(static_cast<size_t>(workers - 1));
  size_t ready = 0;
  for (; ready < others.size(); ++ready) {
    others[ready].reset(new Worker);
    others[ready]->source = source->OpenAnother();
    if (!others[ready]->source) break;
  }
  XzBlockDecoder decoder;
  size_t started = 0;
  for (; started < ready; ++started) {
    Worker* w = others[started].get();
    if (!w->thread.Start([w, queue] { queue->Work(w->source.get(), &w->decoder); })) break;
  }
  queue->Work(source, &decoder);
  for (size_t i = 0; i < started; ++i) others[i]->thread.Join();
}

}  // namespace

Result DecodeXz(util::ByteSource* source, const XzDecodeOptions& options, DecodedOutput* output, XzStreamInfo* info) {
  XzStreamIndex index;
  XzStreamInfo own;
  if (info == nullptr) info = &own;
  Result result = ReadXzLayout(source, &index, info);
  if (!result.ok()) return result;
  if (info->workerMemory > options.memoryLimit) {
    return MemoryLimit(info->workerMemory, options.memoryLimit);
  }
  std::vector<uint64_t> starts;
  for (const XzBlock& block : index.blocks()) starts.push_back(block.decodedOffset);
  result = output->Plan(starts, index.decodedSize());
  if (!result.ok()) return result;

  uint64_t workers = options.workers < 1 ? 1 : static_cast<uint64_t>(options.workers);
  if (workers > index.blocks().size()) workers = index.blocks().size();
  if (info->workerMemory > 0 && workers > options.memoryLimit / info->workerMemory) {
    workers = options.memoryLimit / info->workerMemory;
  }
  info->workers = workers < 1 ? 1 : static_cast<int>(workers);
  BlockQueue queue(index, output);
  RunWorkers(source, info->workers, &queue);
  result = queue.FirstFailure();
  return result.ok() ? output->Finish() : result;
}

}  // namespace xz
