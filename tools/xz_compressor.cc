#include "tools/xz_compressor.h"

#include <memory>
#include <string>

#include "payload/filenode.h"
#include "payload/payload_codec.h"
#include "platform/platform.h"
#include "tools/pack_progress.h"
#include "tools/span_reader.h"
#include "tools/xz_block_plan.h"
#include "util/worker_pool.h"
#include "xz/xz_block_encoder.h"
#include "xz/xz_stream_index.h"
#include "xz/xz_stream_writer.h"

namespace {

struct EncodedBlock {
  bool done = false;
  Result result;
  std::string bytes;
  uint64_t unpaddedSize = 0;
};

void Encode(const std::vector<FileSpan>& files, const PlannedBlock& planned, xz::XzBlockSettings settings,
            EncodedBlock* encoded) {
  settings.x86 = planned.x86;
  SpanReader reader(files, planned.start, planned.size);
  auto input = [&reader](char* buffer, size_t size, size_t* got) { return reader.Read(buffer, size, got); };
  encoded->result = xz::EncodeXzBlock(settings, planned.size, input, &encoded->bytes, &encoded->unpaddedSize);
  encoded->done = true;
}

// The blocks, encoded on worker threads at most `ahead` blocks ahead of the
// one being written, and handed out in order.
class BlockEncoders {
 public:
  BlockEncoders(const std::vector<FileSpan>& files, const std::vector<PlannedBlock>& plan,
                const xz::XzBlockSettings& settings, int workers)
      : files_(files), plan_(plan), settings_(settings), ahead_(2 * static_cast<size_t>(workers)) {
    encoded_.resize(plan.size());
    // Everything a thread needs is allocated before the first starts.
    threads_.resize(static_cast<size_t>(workers));
    for (std::unique_ptr<platform::Thread>& thread : threads_) thread.reset(new platform::Thread);
    for (std::unique_ptr<platform::Thread>& thread : threads_) {
      if (!thread->Start([this] { Work(); })) break;
      ++started_;
    }
  }
  ~BlockEncoders() {
    {
      platform::MutexLock lock(&mutex_);
      stop_ = true;
    }
    changed_.NotifyAll();
    for (size_t i = 0; i < started_; ++i) threads_[i]->Join();
  }
  BlockEncoders(const BlockEncoders&) = delete;
  BlockEncoders& operator=(const BlockEncoders&) = delete;

  // Waits for block `i` (taken in order from 0) and gives it away. Encodes
  // it on this thread when no worker could be started.
  EncodedBlock Take(size_t i) {
    if (started_ == 0) Encode(files_, plan_[i], settings_, &encoded_[i]);
    platform::MutexLock lock(&mutex_);
    while (!encoded_[i].done) changed_.Wait(&lock);
    EncodedBlock block;
    std::swap(block, encoded_[i]);
    taken_ = i + 1;
    changed_.NotifyAll();
    return block;
  }

 private:
  void Work() {
    platform::MutexLock lock(&mutex_);
    for (;;) {
      while (!stop_ && next_ < plan_.size() && next_ >= taken_ + ahead_) changed_.Wait(&lock);
      if (stop_ || next_ >= plan_.size()) return;
      const size_t i = next_++;
      lock.Unlock();
      EncodedBlock encoded;
      Encode(files_, plan_[i], settings_, &encoded);
      lock.Lock();
      std::swap(encoded_[i], encoded);
      changed_.NotifyAll();
    }
  }

  const std::vector<FileSpan>& files_;
  const std::vector<PlannedBlock>& plan_;
  const xz::XzBlockSettings settings_;
  std::vector<std::unique_ptr<platform::Thread>> threads_;
  size_t started_ = 0;  // threads_[0, started_) run
  platform::Mutex mutex_;
  platform::ConditionVariable changed_;
  // Guarded by mutex_.
  std::vector<EncodedBlock> encoded_;
  size_t next_ = 0;   // the next block a worker takes
  size_t taken_ = 0;  // blocks handed out
  const size_t ahead_;
  bool stop_ = false;
};

uint64_t LargestBlock(const std::vector<PlannedBlock>& plan) {
  uint64_t largest = 0;
  for (const PlannedBlock& block : plan) largest = block.size > largest ? block.size : largest;
  return largest;
}

// Each thread takes an encoder for a block of the largest planned size, and
// holds two encodings of at most such a block besides: the one it is making
// and one finished, waiting to be written (the encoders run at most two
// blocks per thread ahead of the writer).
int AffordableJobs(int jobs, const xz::XzBlockSettings& settings, const std::vector<PlannedBlock>& plan) {
  const uint64_t largest = LargestBlock(plan);
  const int tasks = static_cast<int>(plan.size());
  const uint64_t each = xz::BlockEncoderMemory(settings, largest) + 2 * xz::EncodedBlockBound(largest);
  jobs = JobsMemoryHolds(jobs, each, platform::PhysicalMemory(), platform::AddressSpaceLeft());
  return jobs > tasks ? tasks : jobs;
}

}  // namespace

int JobsMemoryHolds(int jobs, uint64_t perJob, uint64_t physicalMemory, uint64_t addressSpaceLeft) {
  uint64_t memory = 0;
  for (uint64_t figure : {physicalMemory, addressSpaceLeft}) {
    if (figure != 0 && (memory == 0 || figure / 2 < memory)) memory = figure / 2;
  }
  if (perJob > 0 && memory > 0 && static_cast<uint64_t>(jobs) > memory / perJob) {
    jobs = static_cast<int>(memory / perJob);
  }
  return jobs < 1 ? 1 : jobs;
}

Result CheckXzDecodable(const xz::XzBlockSettings& settings, const std::vector<PlannedBlock>& plan) {
  if (plan.size() > xz::XzStreamIndex::kMaxBlocks) {
    return Result::Fail(Outcome::kBadInput, "the data would take " + std::to_string(plan.size()) +
                                                " xz blocks, more than a launcher reads (16384): choose a larger "
                                                "--block-size");
  }
  const uint64_t largest = LargestBlock(plan);
  const uint64_t needed = xz::BlockDecoderMemory(settings, largest);
  if (needed > payload::kMostDecodeMemory) {
    return Result::Fail(Outcome::kBadInput, "a dictionary of " +
                                                std::to_string(xz::BlockDictionary(settings, largest) >> 20) +
                                                " MiB needs " + std::to_string((needed + (1 << 20) - 1) >> 20) +
                                                " MiB to decode, more than the 1024 MiB a launcher allows: choose a "
                                                "smaller --dictionary");
  }
  return Result();
}

Result CompressFilesXz(const LmpackOptions& options, const std::vector<PackEntry>& entries,
                       const std::vector<BlockContent>& contents, CompressedOutput* out) {
  uint64_t total = 0;
  const std::vector<FileSpan> files = LayOutFiles(entries, &total);
  std::vector<uint64_t> sizes;
  std::vector<BlockContent> kinds;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].kind != FILENODE::kFile) continue;
    sizes.push_back(entries[i].size);
    kinds.push_back(contents[i]);
  }
  const bool chosen = options.blockSize != 0;
  const std::vector<PlannedBlock> plan =
      PlanXzBlocks(sizes, kinds, chosen ? options.blockSize : DefaultXzBlockBytes(total, kXzBlockBytes), !chosen);
  xz::XzBlockSettings settings;
  settings.level = options.level;
  settings.dictionary = options.dictionary;
  Result result = CheckXzDecodable(settings, plan);
  if (!result.ok()) return result;
  const int jobs = AffordableJobs(options.jobs > 0 ? options.jobs : util::DefaultWorkers(), settings, plan);

  xz::XzStreamWriter stream;
  const std::string& header = xz::XzStreamWriter::Header();
  result = out->Write(header.data(), header.size());
  PackProgress progress(total, options.quiet);
  {
    BlockEncoders encoders(files, plan, settings, jobs);
    for (size_t i = 0; i < plan.size() && result.ok(); ++i) {
      EncodedBlock block = encoders.Take(i);
      result = block.result;
      if (result.ok()) result = out->Write(block.bytes.data(), block.bytes.size());
      if (result.ok()) result = stream.AddBlock(block.unpaddedSize, plan[i].size);
      progress.Add(plan[i].size);
    }
  }
  std::string tail;
  if (result.ok()) result = stream.Finish(&tail);
  if (result.ok()) result = out->Write(tail.data(), tail.size());
  return result;
}
