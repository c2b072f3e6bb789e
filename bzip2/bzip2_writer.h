// Bzip2Writer: encodes one bzip2 stream exactly as libbz2 does at the given
// level (BZ2_bzCompressInit(level, 0, 30), as `bzip2 -<level>`), handing the
// compressed bytes in order to a sink. The only way this project compresses.
#ifndef LM_BZIP2_BZIP2_WRITER_H_
#define LM_BZIP2_BZIP2_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class Bzip2Writer {
 public:
  // Takes compressed bytes; false stops the stream (sinkFailed()).
  using Sink = std::function<bool(const char* data, size_t size)>;

  // level 1..9; jobs >= 1 threads may compress (the bytes are the same for
  // every number of jobs).
  Bzip2Writer(int level, int jobs, Sink sink);
  ~Bzip2Writer();
  Bzip2Writer(const Bzip2Writer&) = delete;
  Bzip2Writer& operator=(const Bzip2Writer&) = delete;

  // False once bzip2 or the sink failed; nothing more is written then.
  bool Write(const void* data, size_t size);
  // Ends the stream; false on failure.
  bool Finish();
  // Compressed bytes handed to the sink so far.
  uint64_t written() const { return written_; }
  bool sinkFailed() const { return sinkFailed_; }

 private:
  bool Run(const char* data, size_t size, int action);

  Sink sink_;
  void* stream_;  // libbz2's bz_stream
  bool ok_;
  bool sinkFailed_ = false;
  uint64_t written_ = 0;
  std::vector<char> output_;
};

#endif  // LM_BZIP2_BZIP2_WRITER_H_
