// Bzip2Reader: decodes the one bzip2 stream that fills a byte range of a
// file, sequentially or with worker threads, with the meaning of libbz2's
// BZ2_bzread plus one check more: nothing may follow the stream in the range.
//
// With any number of workers the result is the sequential decoder's: the
// same bytes, or a failure for the same reason. With workers, a block whose
// decoded size fits kRingBytes (every block of ordinary data) is delivered
// only once its CRC has been checked, so a failure comes after at most the
// bytes the sequential decoder delivers. Larger blocks go out before their
// check (stats().unchecked counts them); in a damaged stream, where a false
// block start can cut such a block short, those bytes may differ from the
// sequential decoder's before the same failure. Act on the bytes only once
// Read has returned 0.
//
// Memory: about 2 MiB, plus about 6 MiB per worker (libbz2's 3.6 MB array
// at level 9, a task's compressed bits and a ring of decoded bytes),
// whatever the size of the stream.
//
// One thread uses a reader; the workers are its own and are joined by
// Close and the destructor.
#ifndef LM_BZIP2_BZIP2_READER_H_
#define LM_BZIP2_BZIP2_READER_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "util/result.h"

enum class Bzip2Failure;

namespace util {
class ByteSource;
}  // namespace util

namespace bzip2 {
class ParallelDecoder;
class SparePool;
class StreamDecoder;

// What the parallel path did (all zero for the sequential one).
struct ParallelStats {
  int threads = 0;    // workers started
  int blocks = 0;     // blocks confirmed by the parallel path
  int merges = 0;     // tasks merged with the next after failing alone
  int mostAhead = 0;  // most tasks handed to workers and not yet delivered at once
  // Bytes delivered before the CRC of their block was checked: those of
  // blocks too large for the ring, and all the sequential decoder delivers
  // after taking over.
  uint64_t unchecked = 0;
  bool sequential = false;  // too few blocks to share: sequential from the start
  bool resumed = false;     // the sequential decoder took over part way
};
}  // namespace bzip2

struct Bzip2ReaderOptions {
  // <= 1 decodes on the calling thread with libbz2 alone; more start up to
  // that many threads, fewer when the stream has fewer blocks, none for a
  // one-block stream.
  int workers = 1;

  // For tests and fuzzing, never the product. Decoded bytes kept per task
  // (0: 1 MiB), so that small inputs reach blocks too large for the ring.
  size_t ringBytes = 0;
  // Bit positions of the range taken as block candidates besides the
  // magics found, to exercise the rule for false candidates.
  std::vector<uint64_t> extraCandidates;
  // Where libbz2's arrays go between streams (not owned; null: freed).
  bzip2::SparePool* spares = nullptr;
};

class Bzip2Reader {
 public:
  Bzip2Reader();
  ~Bzip2Reader();
  Bzip2Reader(const Bzip2Reader&) = delete;
  Bzip2Reader& operator=(const Bzip2Reader&) = delete;

  // Opens bytes [offset, offset + length) of the file at `path` (as the
  // port takes it) with `workers` as in the options. False (result()
  // kUnreadable) when the file cannot be opened or the range is negative.
  bool Open(const char* path, int64_t offset, int64_t length, int workers);
  // Decodes all of `source` (not owned; it must outlive the reader), from
  // its start.
  bool Open(util::ByteSource* source, const Bzip2ReaderOptions& options);

  // Up to `size` (> 0) decoded bytes, in stream order: >0 the count; 0 once
  // the whole stream is decoded, its combined CRC is right and no byte
  // follows it in the range; -1 on any failure (see result()). After 0 or
  // -1 every call returns the same.
  int Read(void* buffer, int size);

  // Stops the workers and closes the file. Read then returns -1
  // (kUnreadable) unless it had already returned 0 or -1.
  void Close();

  // Success unless Read has returned -1 or Open false; then kCorruptData
  // (damaged, truncated, or followed by other bytes, as the message says),
  // kUnreadable or kNoMemory.
  Result result() const;
  bzip2::ParallelStats stats() const;

 private:
  bool Fail(Bzip2Failure failure);

  std::unique_ptr<util::ByteSource> ownSource_;
  std::unique_ptr<bzip2::StreamDecoder> sequential_;
  std::unique_ptr<bzip2::ParallelDecoder> parallel_;
  bzip2::ParallelStats stats_;  // kept when the decoder goes
  int result_ = 1;              // 0 or -1 once final
  Bzip2Failure failure_;        // kNone until a failure
};

#endif  // LM_BZIP2_BZIP2_READER_H_
