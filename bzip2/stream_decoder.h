// Pulls decoded bytes out of one bzip2 stream with libbz2: the stream is the
// source's range from its current position on. This is the sequential path,
// and the exact fallback of the parallel one, which restarts it from the
// stream's start and skips what it already delivered.
//
// Delivery: the first `skip` decoded bytes are dropped; the `hold` bytes
// after them are kept back until the decoder has produced more than that,
// or the stream ended cleanly, and dropped when it fails before.
#ifndef LM_BZIP2_STREAM_DECODER_H_
#define LM_BZIP2_STREAM_DECODER_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "bzip2/allocator_cache.h"
#include "bzip2/bzip2_failure.h"

namespace util {
class ByteSource;
}  // namespace util

namespace bzip2 {

class StreamDecoder {
 public:
  // `source` is not owned and must outlive the decoder; `spares` (may be
  // null) as AllocatorCache takes it.
  StreamDecoder(util::ByteSource* source, uint64_t skip, uint64_t hold, SparePool* spares);
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // >0 bytes; 0 when the stream ended with its checksums right and nothing
  // after it (in the prefix or the range); -1 on failure. Bytes produced in
  // the same step as a failure are still delivered (outside the hold).
  int Read(char* buffer, int size);

  Bzip2Failure failure() const { return failure_; }
  // Decoded bytes libbz2 produced so far, skipped and held ones included.
  uint64_t produced() const { return produced_; }
  // Input bytes libbz2 has taken.
  uint64_t consumed() const;

 private:
  struct Stream;

  size_t Step(char* out, size_t size);
  bool Refill();
  void Fail(Bzip2Failure failure);
  void Collect(size_t produced);
  int TakePending(char* buffer, int size);

  util::ByteSource* source_;
  uint64_t skip_;
  uint64_t hold_;
  bool released_;
  AllocatorCache cache_;
  std::unique_ptr<Stream> stream_;
  std::vector<uint8_t> input_;
  bool done_ = false;
  Bzip2Failure failure_ = Bzip2Failure::kNone;
  uint64_t produced_ = 0;
  uint64_t afterSkip_ = 0;
  std::vector<char> scratch_;
  std::vector<char> pending_;
  size_t pendingAt_ = 0;
};

}  // namespace bzip2

#endif  // LM_BZIP2_STREAM_DECODER_H_
