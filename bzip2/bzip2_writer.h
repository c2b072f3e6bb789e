// Bzip2Writer: compresses a byte sequence into one bzip2 stream, with
// several threads, byte for byte what libbz2 writes on one thread at the
// same level (BZ2_bzCompressInit(level, 0, 30), then BZ_RUN and BZ_FINISH:
// the output of `bzip2 -<level> -c`).
//
// How: the input is cut where libbz2 would end its blocks (BlockSplitter);
// each piece is compressed on a worker as a stream of its own, which holds
// exactly that block; the blocks' bits are joined under one header, then
// the end-of-stream magic and the combined CRC.
//
// Memory: at most jobs + 1 pieces in flight, each with up to 1 MiB of input
// waiting (a piece with long runs, up to about 45 MB of input for one block,
// streams through its compressor) and its compressed block; plus libbz2's
// 7.5 MB of arrays per worker at level 9.
//
// One thread uses a writer; the sink is called on that thread, from Write
// and Finish, with the output in order.
#ifndef LM_BZIP2_BZIP2_WRITER_H_
#define LM_BZIP2_BZIP2_WRITER_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "bzip2/bit_writer.h"
#include "bzip2/block_splitter.h"
#include "platform/platform.h"

namespace bzip2 {
class AllocatorCache;
}  // namespace bzip2
namespace util {
template <class Context>
class WorkerPool;
}  // namespace util

class Bzip2Writer {
 public:
  // Receives the compressed bytes; false refuses them and fails the writer.
  using Sink = std::function<bool(const char* data, size_t size)>;

  // level 1..9 (clamped), jobs >= 1 (1: libbz2 on the calling thread).
  Bzip2Writer(int level, int jobs, Sink sink);
  // Stops the workers; output not yet handed to the sink is dropped.
  ~Bzip2Writer();
  Bzip2Writer(const Bzip2Writer&) = delete;
  Bzip2Writer& operator=(const Bzip2Writer&) = delete;

  // False once the writer has failed or finished.
  bool Write(const void* data, size_t size);
  // Ends the stream and hands the rest to the sink. False on failure.
  bool Finish();

  // Compressed bytes handed to the sink so far.
  uint64_t written() const { return written_; }
  bool failed() const { return failed_; }
  // The failure was the sink's refusal (not libbz2's).
  bool sinkFailed() const { return sinkFailed_; }

 private:
  struct Piece;
  struct Plain;

  bool RunPlain(const void* data, size_t size, int action);
  bool Append(const uint8_t* data, size_t size);
  bool Push();
  bool OpenPiece();
  bool ClosePiece();
  bool WaitFor(const std::function<bool()>& ready);
  bool Emit();
  bool Flush();
  bool Fail(bool sink);
  void StopWorkers();
  void Compress(Piece* piece, bzip2::AllocatorCache* cache);

  const int level_;
  const int jobs_;
  Sink sink_;
  uint64_t written_ = 0;
  bool failed_ = false;
  bool sinkFailed_ = false;
  bool finished_ = false;
  std::unique_ptr<Plain> plain_;

  // The parallel path; the caller's.
  bzip2::BlockSplitter splitter_;
  std::shared_ptr<Piece> current_;
  std::vector<uint8_t> staging_;               // input of current_ not yet queued
  std::deque<std::shared_ptr<Piece>> pieces_;  // not yet emitted, in order
  std::vector<uint8_t> out_;
  bzip2::BitWriter bits_;
  uint32_t combined_ = 0;
  std::unique_ptr<util::WorkerPool<bzip2::AllocatorCache>> pool_;

  // Guarded by mutex_.
  platform::Mutex mutex_;
  platform::ConditionVariable work_;    // input was queued, or stop
  platform::ConditionVariable caller_;  // input was taken, or a piece finished
  bool stop_ = false;
};

#endif  // LM_BZIP2_BZIP2_WRITER_H_
