#include "bzip2/bzip2_reader.h"

#include "bzip2/bzip2_failure.h"
#include "bzip2/parallel_decoder.h"
#include "bzip2/stream_decoder.h"
#include "platform/platform.h"
#include "util/byte_source.h"

Bzip2Reader::Bzip2Reader() : failure_(Bzip2Failure::kNone) {}

Bzip2Reader::~Bzip2Reader() { Close(); }

bool Bzip2Reader::Fail(Bzip2Failure failure) {
  result_ = -1;
  failure_ = failure;
  return false;
}

bool Bzip2Reader::Open(const char* path, int64_t offset, int64_t length, int workers) {
  Close();
  std::unique_ptr<util::FileRange> file(new util::FileRange);
  if (!file->Open(path, offset, length)) {
    stats_ = bzip2::ParallelStats();
    return Fail(Bzip2Failure::kIo);
  }
  Bzip2ReaderOptions options;
  options.workers = workers;
  Open(file.get(), options);
  ownSource_ = std::move(file);
  return true;
}

bool Bzip2Reader::Open(util::ByteSource* source, const Bzip2ReaderOptions& options) {
  Close();
  stats_ = bzip2::ParallelStats();
  result_ = 1;
  failure_ = Bzip2Failure::kNone;
  if (!source->Seek(0)) return Fail(Bzip2Failure::kIo);
  if (options.workers <= 1) {
    sequential_.reset(new bzip2::StreamDecoder(source, 0, 0, options.spares));
  } else {
    parallel_.reset(new bzip2::ParallelDecoder(source, options));
  }
  return true;
}

int Bzip2Reader::Read(void* buffer, int size) {
  if (result_ <= 0) return result_;
  if (size == 0) return 0;  // as BZ2_bzread: nothing asked, nothing given
  if (size < 0) return -1;
  if (!sequential_ && !parallel_) return Fail(Bzip2Failure::kIo) ? 0 : -1;
  char* out = static_cast<char*>(buffer);
  int n = sequential_ ? sequential_->Read(out, size) : parallel_->Read(out, size);
  if (n > 0) return n;
  result_ = n < 0 ? -1 : 0;
  if (n < 0) failure_ = sequential_ ? sequential_->failure() : parallel_->failure();
  return result_;
}

Result Bzip2Reader::result() const { return Bzip2Result(failure_); }

bzip2::ParallelStats Bzip2Reader::stats() const { return parallel_ ? parallel_->stats() : stats_; }

void Bzip2Reader::Close() {
  if (parallel_) stats_ = parallel_->stats();
  sequential_.reset();
  parallel_.reset();
  ownSource_.reset();
  if (result_ > 0) Fail(Bzip2Failure::kIo);
}
