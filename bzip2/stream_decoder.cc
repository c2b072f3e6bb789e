#include "bzip2/stream_decoder.h"

#include <algorithm>
#include <cstring>

#include <bzlib.h>
#include "util/byte_source.h"

namespace bzip2 {

namespace {

// Compressed bytes read from the file at a time.
const size_t kInputPiece = 256 << 10;
// Decoded bytes taken at a time while skipping or holding.
const size_t kScratch = 64 << 10;

Bzip2Failure FailureFor(int result) {
  return result == BZ_MEM_ERROR ? Bzip2Failure::kNoMemory : Bzip2Failure::kCorrupt;
}

}  // namespace

struct StreamDecoder::Stream {
  bz_stream bz;
  bool open = false;
};

StreamDecoder::StreamDecoder(util::ByteSource* source, uint64_t skip, uint64_t hold, SparePool* spares)
    : source_(source), skip_(skip), hold_(hold), released_(hold == 0), cache_(spares), stream_(new Stream) {
  memset(&stream_->bz, 0, sizeof(stream_->bz));
  stream_->bz.bzalloc = AllocatorCache::Alloc;
  stream_->bz.bzfree = AllocatorCache::Free;
  stream_->bz.opaque = &cache_;
  if (BZ2_bzDecompressInit(&stream_->bz, 0, 0) == BZ_OK) {
    stream_->open = true;
  } else {
    Fail(Bzip2Failure::kNoMemory);
  }
}

StreamDecoder::~StreamDecoder() {
  if (stream_->open) BZ2_bzDecompressEnd(&stream_->bz);
}

uint64_t StreamDecoder::consumed() const {
  return (static_cast<uint64_t>(stream_->bz.total_in_hi32) << 32) | stream_->bz.total_in_lo32;
}

void StreamDecoder::Fail(Bzip2Failure failure) {
  done_ = true;
  failure_ = failure;
}

bool StreamDecoder::Refill() {
  bz_stream& bz = stream_->bz;
  if (input_.empty()) input_.resize(std::max<size_t>(1, source_->PieceOf(kInputPiece)));
  int64_t n = source_->Read(input_.data(), input_.size());
  if (n < 0) {
    Fail(Bzip2Failure::kIo);
    return false;
  }
  bz.next_in = reinterpret_cast<char*>(input_.data());
  bz.avail_in = static_cast<unsigned>(n);
  return n > 0;
}

size_t StreamDecoder::Step(char* out, size_t size) {
  bz_stream& bz = stream_->bz;
  bool more = bz.avail_in > 0 || Refill();
  if (done_) return 0;
  bz.next_out = out;
  bz.avail_out = static_cast<unsigned>(size);
  int result = BZ2_bzDecompress(&bz);
  size_t produced = size - bz.avail_out;
  produced_ += produced;
  if (result == BZ_STREAM_END) {
    bool trailing = bz.avail_in > 0 || source_->remaining() > 0;
    if (trailing) {
      Fail(Bzip2Failure::kTrailingData);
    } else {
      done_ = true;
    }
  } else if (result != BZ_OK) {
    Fail(FailureFor(result));
  } else if (!more && bz.avail_in == 0 && bz.avail_out > 0) {
    Fail(Bzip2Failure::kTruncated);
  }
  return produced;
}

void StreamDecoder::Collect(size_t produced) {
  size_t dropped = skip_ < produced ? static_cast<size_t>(skip_) : produced;
  skip_ -= dropped;
  pending_.insert(pending_.end(), scratch_.data() + dropped, scratch_.data() + produced);
  afterSkip_ += produced - dropped;
  if (!released_ && (afterSkip_ > hold_ || (done_ && failure_ == Bzip2Failure::kNone))) released_ = true;
}

int StreamDecoder::TakePending(char* buffer, int size) {
  size_t available = pending_.size() - pendingAt_;
  size_t n = available < static_cast<size_t>(size) ? available : static_cast<size_t>(size);
  memcpy(buffer, pending_.data() + pendingAt_, n);
  pendingAt_ += n;
  if (pendingAt_ == pending_.size()) {
    pending_.clear();
    pendingAt_ = 0;
  }
  return static_cast<int>(n);
}

int StreamDecoder::Read(char* buffer, int size) {
  if (size <= 0) return -1;
  for (;;) {
    if (released_ && pendingAt_ < pending_.size()) return TakePending(buffer, size);
    if (done_) {
      if (failure_ != Bzip2Failure::kNone) {
        pending_.clear();
        pendingAt_ = 0;
        return -1;
      }
      if (!released_) {
        released_ = true;
        continue;
      }
      return 0;
    }
    if (skip_ == 0 && released_) {
      size_t n = Step(buffer, static_cast<size_t>(size));
      if (n > 0) return static_cast<int>(n);
      continue;
    }
    scratch_.resize(kScratch);
    Collect(Step(scratch_.data(), scratch_.size()));
  }
}

}  // namespace bzip2
