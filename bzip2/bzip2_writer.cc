#include "bzip2/bzip2_writer.h"

#include <cstring>

#include <bzlib.h>
#include "bzip2/allocator_cache.h"
#include "bzip2/bzip2_format.h"
#include "util/worker_pool.h"

namespace {

// Input handed to a piece's worker at a time, and the most a piece may have
// waiting: a whole ordinary block fits, so the caller rarely waits.
const size_t kChunk = 256 << 10;
const size_t kPieceQueue = 1 << 20;
const size_t kOutputStep = 64 << 10;
const int kWorkFactor = 30;  // libbz2's default, as bzip2 uses

int ClampLevel(int level) { return level < 1 ? 1 : level > 9 ? 9 : level; }

void InitStream(bz_stream* bz, bzip2::AllocatorCache* cache) {
  memset(bz, 0, sizeof(*bz));
  if (cache != nullptr) {
    bz->bzalloc = bzip2::AllocatorCache::Alloc;
    bz->bzfree = bzip2::AllocatorCache::Free;
    bz->opaque = cache;
  }
}

// Runs libbz2 on `size` bytes (BZ_RUN) or to the end (BZ_FINISH), appending
// the output to *out.
bool Feed(bz_stream* bz, const uint8_t* data, size_t size, int action, std::vector<uint8_t>* out) {
  bz->next_in = const_cast<char*>(reinterpret_cast<const char*>(data));
  bz->avail_in = static_cast<unsigned>(size);
  for (;;) {
    size_t used = out->size();
    out->resize(used + kOutputStep);
    bz->next_out = reinterpret_cast<char*>(out->data() + used);
    bz->avail_out = static_cast<unsigned>(kOutputStep);
    int result = BZ2_bzCompress(bz, action);
    out->resize(out->size() - bz->avail_out);
    if (result < 0) return false;
    if (action == BZ_FINISH ? result == BZ_STREAM_END : bz->avail_in == 0) return true;
  }
}

}  // namespace

struct Bzip2Writer::Plain {
  bz_stream bz;
  bool open = false;
  std::vector<uint8_t> out;
};

struct Bzip2Writer::Piece {
  // Guarded by the writer's mutex.
  std::deque<std::vector<uint8_t>> chunks;
  size_t queued = 0;
  bool inputDone = false;
  bool done = false;
  bool ok = false;
  // The worker's until `done`, then the caller's.
  std::vector<uint8_t> output;
  bzip2::SingleBlock block = {0, 0};
};

Bzip2Writer::Bzip2Writer(int level, int jobs, Sink sink)
    : level_(ClampLevel(level)), jobs_(jobs < 1 ? 1 : jobs), sink_(std::move(sink)), splitter_(level_), bits_(&out_) {
  if (jobs_ == 1) {
    plain_.reset(new Plain);
    InitStream(&plain_->bz, nullptr);
    plain_->open = BZ2_bzCompressInit(&plain_->bz, level_, 0, kWorkFactor) == BZ_OK;
    if (!plain_->open) Fail(false);
    return;
  }
  pool_.reset(new util::WorkerPool<bzip2::AllocatorCache>(
      jobs_, [] { return std::unique_ptr<bzip2::AllocatorCache>(new bzip2::AllocatorCache); }));
  bits_.Put(bzip2::StreamHeader(level_), bzip2::kHeaderBits);
}

Bzip2Writer::~Bzip2Writer() {
  StopWorkers();
  if (plain_ && plain_->open) BZ2_bzCompressEnd(&plain_->bz);
}

bool Bzip2Writer::Fail(bool sink) {
  if (!failed_) sinkFailed_ = sink;
  failed_ = true;
  return false;
}

bool Bzip2Writer::Write(const void* data, size_t size) {
  if (failed_ || finished_) return false;
  if (plain_) return RunPlain(data, size, BZ_RUN);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    bool ends = false;
    size_t n = splitter_.Take(bytes, size, &ends);
    if (n > 0 && !Append(bytes, n)) return false;
    bytes += n;
    size -= n;
    if (ends && !ClosePiece()) return false;
  }
  return Emit();
}

bool Bzip2Writer::Finish() {
  if (failed_ || finished_) return false;
  finished_ = true;
  if (plain_) return RunPlain(nullptr, 0, BZ_FINISH);
  if (current_ && !ClosePiece()) return false;
  if (!WaitFor([this] { return pieces_.empty(); })) return false;
  bits_.Put(bzip2::kEndMagic, bzip2::kMagicBits);
  bits_.Put(combined_, 32);
  bits_.Align();
  bool ok = Flush();
  StopWorkers();
  return ok;
}

bool Bzip2Writer::RunPlain(const void* data, size_t size, int action) {
  std::vector<uint8_t>& out = plain_->out;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  // At most 1 GiB per call, as avail_in is 32 bits.
  do {
    size_t part = size < (size_t{1} << 30) ? size : (size_t{1} << 30);
    out.clear();
    if (!Feed(&plain_->bz, bytes, part, part == size ? action : BZ_RUN, &out)) return Fail(false);
    if (!out.empty() && !sink_(reinterpret_cast<const char*>(out.data()), out.size())) return Fail(true);
    written_ += out.size();
    bytes += part;
    size -= part;
  } while (size > 0);
  return true;
}

bool Bzip2Writer::Append(const uint8_t* data, size_t size) {
  if (!current_ && !OpenPiece()) return false;
  while (size > 0) {
    size_t take = kChunk - staging_.size() < size ? kChunk - staging_.size() : size;
    staging_.insert(staging_.end(), data, data + take);
    data += take;
    size -= take;
    if (staging_.size() == kChunk && !Push()) return false;
  }
  return true;
}

// Queues the staged input of the current piece, once it has room.
bool Bzip2Writer::Push() {
  Piece* piece = current_.get();
  if (!WaitFor([piece] { return piece->queued < kPieceQueue; })) return false;
  platform::MutexLock lock(&mutex_);
  piece->queued += staging_.size();
  piece->chunks.push_back(std::move(staging_));
  staging_.clear();
  work_.NotifyAll();
  return true;
}

bool Bzip2Writer::OpenPiece() {
  if (!WaitFor([this] { return static_cast<int>(pieces_.size()) <= jobs_; })) return false;
  current_ = std::make_shared<Piece>();
  pieces_.push_back(current_);
  std::shared_ptr<Piece> piece = current_;
  if (!pool_->Post([this, piece](bzip2::AllocatorCache* cache) { Compress(piece.get(), cache); })) return Fail(false);
  return true;
}

bool Bzip2Writer::ClosePiece() {
  if (!staging_.empty() && !Push()) return false;
  platform::MutexLock lock(&mutex_);
  current_->inputDone = true;
  current_.reset();
  work_.NotifyAll();
  return true;
}

// Hands finished pieces to the sink until `ready` (checked under the lock)
// holds.
bool Bzip2Writer::WaitFor(const std::function<bool()>& ready) {
  for (;;) {
    if (!Emit()) return false;
    platform::MutexLock lock(&mutex_);
    if (ready()) return true;
    if (!pieces_.empty() && pieces_.front()->done) continue;
    caller_.Wait(&lock);
  }
}

bool Bzip2Writer::Emit() {
  if (failed_) return false;
  for (;;) {
    std::shared_ptr<Piece> front;
    {
      platform::MutexLock lock(&mutex_);
      if (pieces_.empty() || !pieces_.front()->done) break;
      front = pieces_.front();
    }
    pieces_.pop_front();
    if (!front->ok) return Fail(false);
    bits_.PutBits(front->output.data(), bzip2::kHeaderBits, front->block.bits);
    combined_ = bzip2::CombineCrc(combined_, front->block.crc);
    if (!Flush()) return false;
  }
  return true;
}

bool Bzip2Writer::Flush() {
  if (out_.empty()) return true;
  if (!sink_(reinterpret_cast<const char*>(out_.data()), out_.size())) return Fail(true);
  written_ += out_.size();
  out_.clear();
  return true;
}

void Bzip2Writer::StopWorkers() {
  if (!pool_) return;
  {
    platform::MutexLock lock(&mutex_);
    stop_ = true;
  }
  work_.NotifyAll();
  pool_->Stop();
}

// Compresses one piece as a stream of its own and finds its block.
void Bzip2Writer::Compress(Piece* piece, bzip2::AllocatorCache* cache) {
  bz_stream bz;
  InitStream(&bz, cache);
  bool ok = BZ2_bzCompressInit(&bz, level_, 0, kWorkFactor) == BZ_OK;
  bool open = ok;
  while (ok) {
    std::vector<uint8_t> chunk;
    {
      platform::MutexLock lock(&mutex_);
      while (!stop_ && piece->chunks.empty() && !piece->inputDone) work_.Wait(&lock);
      if (stop_) ok = false;
      if (!ok || piece->chunks.empty()) break;
      chunk = std::move(piece->chunks.front());
      piece->chunks.pop_front();
      piece->queued -= chunk.size();
      caller_.NotifyAll();
    }
    ok = Feed(&bz, chunk.data(), chunk.size(), BZ_RUN, &piece->output);
  }
  ok = ok && Feed(&bz, nullptr, 0, BZ_FINISH, &piece->output) &&
       bzip2::FindSingleBlock(piece->output.data(), piece->output.size(), &piece->block);
  if (open) BZ2_bzCompressEnd(&bz);
  platform::MutexLock lock(&mutex_);
  piece->ok = ok;
  piece->done = true;
  caller_.NotifyAll();
}
