#include "bzip2_reader.h"

#include <algorithm>
#include <thread>

#include "bzlib.h"

namespace {

const int kInputChunk = 1 << 16;

bz_stream* StreamOf(void* p) { return static_cast<bz_stream*>(p); }

}  // namespace

Bzip2Reader::Bzip2Reader() {}

Bzip2Reader::~Bzip2Reader() { Close(); }

bool Bzip2Reader::Open(const char* nativePath, int64_t offset, int64_t length, int) {
  Close();
  failure_ = Bzip2Failure::kNone;
  ended_ = false;
  file_ = fopen(nativePath, "rb");
  if (file_ == nullptr || offset < 0 || length < 0 || offset > 0x7FFFFFFF ||
      fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
    Fail(Bzip2Failure::kIo);
    return false;
  }
  bz_stream* stream = new bz_stream();
  if (BZ2_bzDecompressInit(stream, 0, 0) != BZ_OK) {
    delete stream;
    Fail(Bzip2Failure::kIo);
    return false;
  }
  stream_ = stream;
  remaining_ = length;
  input_.resize(kInputChunk);
  return true;
}

void Bzip2Reader::Close() {
  if (stream_ != nullptr) {
    BZ2_bzDecompressEnd(StreamOf(stream_));
    delete StreamOf(stream_);
    stream_ = nullptr;
  }
  if (file_ != nullptr) fclose(file_);
  file_ = nullptr;
}

int Bzip2Reader::Fail(Bzip2Failure failure) {
  if (failure_ == Bzip2Failure::kNone) failure_ = failure;
  return -1;
}

bool Bzip2Reader::Refill() {
  bz_stream* stream = StreamOf(stream_);
  int chunk = static_cast<int>(std::min<int64_t>(remaining_, kInputChunk));
  if (chunk == 0) return false;
  if (fread(input_.data(), 1, static_cast<size_t>(chunk), file_) != static_cast<size_t>(chunk)) return false;
  remaining_ -= chunk;
  stream->next_in = input_.data();
  stream->avail_in = static_cast<unsigned>(chunk);
  return true;
}

int Bzip2Reader::Read(void* buffer, int size) {
  if (failure_ != Bzip2Failure::kNone) return -1;
  if (stream_ == nullptr) return Fail(Bzip2Failure::kIo);
  if (ended_ || size <= 0) return 0;
  bz_stream* stream = StreamOf(stream_);
  stream->next_out = static_cast<char*>(buffer);
  stream->avail_out = static_cast<unsigned>(size);
  while (stream->avail_out == static_cast<unsigned>(size)) {
    if (stream->avail_in == 0 && remaining_ > 0 && !Refill()) return Fail(Bzip2Failure::kIo);
    int result = BZ2_bzDecompress(stream);
    if (result == BZ_STREAM_END) {
      // Only the stream itself may fill the range.
      if (stream->avail_in != 0 || remaining_ != 0) return Fail(Bzip2Failure::kTrailingData);
      ended_ = true;
      break;
    }
    if (result != BZ_OK) return Fail(Bzip2Failure::kCorrupt);
    if (stream->avail_in == 0 && remaining_ == 0 && stream->avail_out != 0) return Fail(Bzip2Failure::kTruncated);
  }
  return size - static_cast<int>(stream->avail_out);
}

int Bzip2DefaultWorkers() {
  unsigned n = std::thread::hardware_concurrency();
  return static_cast<int>(std::max(1u, std::min(8u, n)));
}
