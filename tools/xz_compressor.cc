#include "tools/xz_compressor.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "payload/filenode.h"
#include "platform/platform.h"
#include "platform/utf8_files.h"
#include "tools/pack_progress.h"
#include "tools/xz_block_plan.h"
#include "util/worker_pool.h"
#include "xz/xz_block_encoder.h"
#include "xz/xz_stream_writer.h"

namespace {

struct FileSpan {
  std::string host;
  uint64_t start = 0;  // in the decoded stream
  uint64_t size = 0;
};

Result Changed(const std::string& host) {
  return Result::Fail(Outcome::kUnreadable, ShownPath(host) + ": the file changed while it was packed");
}

// Reads the bytes [start, start + size) of the stream from the files that
// hold them. A file that ends before its size, or goes on after it, has
// changed since the folder was scanned.
class SpanReader {
 public:
  SpanReader(const std::vector<FileSpan>& files, uint64_t start, uint64_t size)
      : files_(files), position_(start), end_(start + size) {
    while (file_ < files_.size() && files_[file_].start + files_[file_].size <= position_) ++file_;
  }
  ~SpanReader() { Close(); }
  SpanReader(const SpanReader&) = delete;
  SpanReader& operator=(const SpanReader&) = delete;

  Result Read(char* buffer, size_t size, size_t* got) {
    *got = 0;
    if (position_ == end_) return Result();
    while (files_[file_].size == 0) ++file_;
    const FileSpan& file = files_[file_];
    if (open_ == nullptr) {
      open_ = platform::OpenFileUtf8(file.host.c_str(), "rb");
      if (open_ == nullptr) return Result::Fail(Outcome::kUnreadable, ShownPath(file.host) + ": cannot read");
      if (platform::SeekFile(open_, static_cast<int64_t>(position_ - file.start)) != 0) return Changed(file.host);
    }
    uint64_t want = file.start + file.size - position_;
    if (want > end_ - position_) want = end_ - position_;
    if (want > size) want = size;
    *got = fread(buffer, 1, static_cast<size_t>(want), open_);
    position_ += *got;
    if (*got != want) return Changed(file.host);
    if (position_ == file.start + file.size) {
      const bool longer = fgetc(open_) != EOF;
      Close();
      ++file_;
      if (longer) return Changed(file.host);
    } else if (position_ == end_) {
      Close();
    }
    return Result();
  }

 private:
  void Close() {
    if (open_ != nullptr) fclose(open_);
    open_ = nullptr;
  }

  const std::vector<FileSpan>& files_;
  uint64_t position_;
  uint64_t end_;
  size_t file_ = 0;
  FILE* open_ = nullptr;
};

struct EncodedBlock {
  bool done = false;
  Result result;
  std::string bytes;
  uint64_t unpaddedSize = 0;
};

// One encoding of one planned block: plain, or with the x86 filter.
struct Task {
  size_t block;
  bool x86;
};

void Encode(const std::vector<FileSpan>& files, const PlannedBlock& planned, xz::XzBlockSettings settings, bool x86,
            EncodedBlock* encoded) {
  settings.x86 = x86;
  SpanReader reader(files, planned.start, planned.size);
  auto input = [&reader](char* buffer, size_t size, size_t* got) { return reader.Read(buffer, size, got); };
  encoded->result = xz::EncodeXzBlock(settings, planned.size, input, &encoded->bytes, &encoded->unpaddedSize);
  encoded->done = true;
}

// The blocks, encoded on worker threads, a block of x86 programs twice (with
// and without the filter, on different threads where there are several),
// at most `ahead` encodings ahead of the block being written, and handed
// out in order.
class BlockEncoders {
 public:
  BlockEncoders(const std::vector<FileSpan>& files, const std::vector<PlannedBlock>& plan,
                const xz::XzBlockSettings& settings, int workers)
      : files_(files), plan_(plan), settings_(settings), ahead_(2 * static_cast<size_t>(workers)) {
    for (size_t i = 0; i < plan.size(); ++i) {
      firstTask_.push_back(tasks_.size());
      tasks_.push_back({i, false});
      if (plan[i].x86) tasks_.push_back({i, true});
    }
    firstTask_.push_back(tasks_.size());
    encoded_.resize(tasks_.size());
    for (int i = 0; i < workers; ++i) {
      std::unique_ptr<platform::Thread> thread(new platform::Thread);
      if (!thread->Start([this] { Work(); })) break;
      threads_.push_back(std::move(thread));
    }
  }
  ~BlockEncoders() {
    {
      platform::MutexLock lock(&mutex_);
      stop_ = true;
    }
    changed_.NotifyAll();
    for (std::unique_ptr<platform::Thread>& thread : threads_) thread->Join();
  }
  BlockEncoders(const BlockEncoders&) = delete;
  BlockEncoders& operator=(const BlockEncoders&) = delete;

  // Waits for block `i` (taken in order from 0) and gives it away: its
  // smaller encoding, the plain one when both are equal. Encodes it on this
  // thread when no worker could be started.
  EncodedBlock Take(size_t i) {
    const size_t first = firstTask_[i], end = firstTask_[i + 1];
    if (threads_.empty()) {
      for (size_t t = first; t < end; ++t) Encode(files_, plan_[i], settings_, tasks_[t].x86, &encoded_[t]);
    }
    platform::MutexLock lock(&mutex_);
    for (size_t t = first; t < end; ++t) {
      while (!encoded_[t].done) changed_.Wait(&lock);
    }
    EncodedBlock block;
    std::swap(block, encoded_[first]);
    for (size_t t = first + 1; t < end; ++t) {
      const bool better =
          block.result.ok() && (!encoded_[t].result.ok() || encoded_[t].bytes.size() < block.bytes.size());
      if (better) std::swap(block, encoded_[t]);
      encoded_[t] = EncodedBlock();
    }
    taken_ = end;
    changed_.NotifyAll();
    return block;
  }

 private:
  void Work() {
    platform::MutexLock lock(&mutex_);
    for (;;) {
      while (!stop_ && next_ < tasks_.size() && next_ >= taken_ + ahead_) changed_.Wait(&lock);
      if (stop_ || next_ >= tasks_.size()) return;
      const size_t t = next_++;
      lock.Unlock();
      EncodedBlock encoded;
      Encode(files_, plan_[tasks_[t].block], settings_, tasks_[t].x86, &encoded);
      lock.Lock();
      std::swap(encoded_[t], encoded);
      changed_.NotifyAll();
    }
  }

  const std::vector<FileSpan>& files_;
  const std::vector<PlannedBlock>& plan_;
  const xz::XzBlockSettings settings_;
  std::vector<Task> tasks_;
  std::vector<size_t> firstTask_;  // per block, and one past the last
  std::vector<std::unique_ptr<platform::Thread>> threads_;
  platform::Mutex mutex_;
  platform::ConditionVariable changed_;
  // Guarded by mutex_.
  std::vector<EncodedBlock> encoded_;
  size_t next_ = 0;   // the next task a worker takes
  size_t taken_ = 0;  // tasks of the blocks handed out
  const size_t ahead_;
  bool stop_ = false;
};

// Threads that this machine's memory holds: every encoder may take what a
// block of the largest planned size needs, and lmpack keeps to half the
// physical memory.
int AffordableJobs(int jobs, const xz::XzBlockSettings& settings, const std::vector<PlannedBlock>& plan) {
  uint64_t largest = 0;
  int tasks = 0;
  for (const PlannedBlock& block : plan) {
    largest = block.size > largest ? block.size : largest;
    tasks += block.x86 ? 2 : 1;
  }
  const uint64_t each = xz::BlockEncoderMemory(settings, largest);
  const uint64_t memory = platform::PhysicalMemory() / 2;
  if (each > 0 && memory > 0 && static_cast<uint64_t>(jobs) > memory / each) jobs = static_cast<int>(memory / each);
  if (jobs > tasks) jobs = tasks;
  return jobs < 1 ? 1 : jobs;
}

Result WriteBytes(LmFileStream* out, const std::string& bytes, uint64_t limit, uint64_t* written) {
  if (*written + bytes.size() >= limit) {
    return Result::Fail(Outcome::kBadInput, "the compressed data would reach 2 GiB");
  }
  for (size_t done = 0; done < bytes.size();) {
    const size_t piece = bytes.size() - done < (1u << 30) ? bytes.size() - done : (1u << 30);
    if (out->Write(bytes.data() + done, static_cast<int>(piece)) != static_cast<int>(piece)) {
      return Result::Fail(Outcome::kWriteFault, "cannot write the compressed data");
    }
    done += piece;
  }
  *written += bytes.size();
  return Result();
}

}  // namespace

Result CompressFilesXz(const LmpackOptions& options, const std::vector<PackEntry>& entries,
                       const std::vector<bool>& x86, uint64_t limit, LmFileStream* out, uint64_t* written) {
  std::vector<FileSpan> files;
  std::vector<uint64_t> sizes;
  std::vector<bool> kinds;
  uint64_t total = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].kind != FILENODE::kFile) continue;
    files.push_back({entries[i].host, total, entries[i].size});
    sizes.push_back(entries[i].size);
    kinds.push_back(x86[i]);
    total += entries[i].size;
  }
  const std::vector<PlannedBlock> plan =
      PlanXzBlocks(sizes, kinds, options.blockSize != 0 ? options.blockSize : kXzBlockBytes);
  xz::XzBlockSettings settings;
  settings.level = options.level;
  settings.dictionary = options.dictionary;
  const int jobs = AffordableJobs(options.jobs > 0 ? options.jobs : util::DefaultWorkers(), settings, plan);

  *written = 0;
  xz::XzStreamWriter stream;
  Result result = WriteBytes(out, xz::XzStreamWriter::Header(), limit, written);
  PackProgress progress(total, options.quiet);
  {
    BlockEncoders encoders(files, plan, settings, jobs);
    for (size_t i = 0; i < plan.size() && result.ok(); ++i) {
      EncodedBlock block = encoders.Take(i);
      result = block.result;
      if (result.ok()) result = WriteBytes(out, block.bytes, limit, written);
      if (result.ok()) result = stream.AddBlock(block.unpaddedSize, plan[i].size);
      progress.Add(plan[i].size);
    }
  }
  std::string tail;
  if (result.ok()) result = stream.Finish(&tail);
  if (result.ok()) result = WriteBytes(out, tail, limit, written);
  return result;
}
