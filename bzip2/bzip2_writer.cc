#include "bzip2_writer.h"

#include "bzlib.h"

namespace {

const size_t kOutputChunk = 1 << 16;
const unsigned kMaxFeed = 1u << 30;

bz_stream* StreamOf(void* p) { return static_cast<bz_stream*>(p); }

}  // namespace

Bzip2Writer::Bzip2Writer(int level, int, Sink sink) : sink_(std::move(sink)), stream_(new bz_stream()) {
  ok_ = BZ2_bzCompressInit(StreamOf(stream_), level, 0, 30) == BZ_OK;
  output_.resize(kOutputChunk);
}

Bzip2Writer::~Bzip2Writer() {
  BZ2_bzCompressEnd(StreamOf(stream_));
  delete StreamOf(stream_);
}

bool Bzip2Writer::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (ok_ && size > 0) {
    unsigned piece = size > kMaxFeed ? kMaxFeed : static_cast<unsigned>(size);
    if (!Run(bytes, piece, BZ_RUN)) return false;
    bytes += piece;
    size -= piece;
  }
  return ok_;
}

bool Bzip2Writer::Finish() { return ok_ && Run(nullptr, 0, BZ_FINISH); }

bool Bzip2Writer::Run(const char* data, size_t size, int action) {
  bz_stream* stream = StreamOf(stream_);
  stream->next_in = const_cast<char*>(data);
  stream->avail_in = static_cast<unsigned>(size);
  for (;;) {
    stream->next_out = output_.data();
    stream->avail_out = static_cast<unsigned>(output_.size());
    int result = BZ2_bzCompress(stream, action);
    if (result < 0) return ok_ = false;
    size_t produced = output_.size() - stream->avail_out;
    if (produced > 0 && !sink_(output_.data(), produced)) {
      sinkFailed_ = true;
      return ok_ = false;
    }
    written_ += produced;
    if (action == BZ_FINISH ? result == BZ_STREAM_END : stream->avail_in == 0) return true;
  }
}
