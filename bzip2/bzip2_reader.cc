#include "bzip2_reader.h"

#include <mutex>
#include <thread>

#include "file_range.h"
#include "stream_decoder.h"

namespace {

std::mutex& ExtraMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<uint64_t>& ExtraCandidates() {
  static std::vector<uint64_t> bits;
  return bits;
}

}  // namespace

int Bzip2DefaultWorkers() {
  unsigned threads = std::thread::hardware_concurrency();
  if (threads < 1) return 1;
  return threads > 8 ? 8 : static_cast<int>(threads);
}

void Bzip2Reader::SetExtraCandidatesForTesting(std::vector<uint64_t> bits) {
  std::lock_guard<std::mutex> lock(ExtraMutex());
  ExtraCandidates() = std::move(bits);
}

Bzip2Reader::Bzip2Reader() = default;

Bzip2Reader::~Bzip2Reader() { Close(); }

bool Bzip2Reader::Open(const char* nativePath, int64_t offset, int64_t length, int workers) {
  Close();
  stats_ = bzip2::ParallelStats();
  result_ = 1;
  failure_ = Bzip2Failure::kNone;
  file_.reset(new bzip2::FileRange);
  if (!file_->Open(nativePath, offset, length)) {
    file_.reset();
    result_ = -1;
    failure_ = Bzip2Failure::kIo;
    return false;
  }
  if (workers <= 1) {
    sequential_.reset(new bzip2::StreamDecoder(std::vector<uint8_t>(), file_.get(), 0, 0));
  } else {
    std::vector<uint64_t> extra;
    {
      std::lock_guard<std::mutex> lock(ExtraMutex());
      extra = ExtraCandidates();
    }
    parallel_.reset(new bzip2::ParallelDecoder(file_.get(), workers, std::move(extra)));
  }
  return true;
}

int Bzip2Reader::Read(void* buffer, int size) {
  if (result_ <= 0) return result_;
  if (size == 0) return 0;  // as BZ2_bzread: nothing asked, nothing given
  if (size < 0) return -1;
  if (!sequential_ && !parallel_) {
    result_ = -1;
    failure_ = Bzip2Failure::kIo;
    return -1;
  }
  char* out = static_cast<char*>(buffer);
  int n = sequential_ ? sequential_->Read(out, size) : parallel_->Read(out, size);
  if (n > 0) return n;
  result_ = n < 0 ? -1 : 0;
  if (n < 0) failure_ = sequential_ ? sequential_->failure() : parallel_->failure();
  return result_;
}

bzip2::ParallelStats Bzip2Reader::stats() const { return parallel_ ? parallel_->stats() : stats_; }

void Bzip2Reader::Close() {
  if (parallel_) stats_ = parallel_->stats();
  sequential_.reset();
  parallel_.reset();
  file_.reset();
  if (result_ > 0) {
    result_ = -1;
    failure_ = Bzip2Failure::kIo;
  }
}
