// Bzip2Reader: decodes one bzip2 stream that lies in a range of a file, the
// only way this project reads compressed data (the launcher's unpacking,
// lmpack verify).
#ifndef LM_BZIP2_BZIP2_READER_H_
#define LM_BZIP2_BZIP2_READER_H_

#include <cstdint>
#include <cstdio>
#include <vector>

enum class Bzip2Failure { kNone, kCorrupt, kTruncated, kTrailingData, kIo };

class Bzip2Reader {
 public:
  Bzip2Reader();
  ~Bzip2Reader();
  Bzip2Reader(const Bzip2Reader&) = delete;
  Bzip2Reader& operator=(const Bzip2Reader&) = delete;

  // Reads the compressed bytes [offset, offset + length) of the file at
  // `nativePath` (a path as the system takes it), in pieces, never whole.
  // `workers` is how many threads may decode; 1 decodes on the caller's
  // thread. False when the file cannot be opened (failure() kIo).
  bool Open(const char* nativePath, int64_t offset, int64_t length, int workers);
  // As BZ2_bzread: more than 0 bytes delivered in stream order; 0 only once
  // the whole stream was decoded, every checksum matched and nothing but the
  // last byte's padding follows the stream's end within the range; -1 on
  // any failure. After 0 or -1 every further call returns the same.
  int Read(void* buffer, int size);
  Bzip2Failure failure() const { return failure_; }
  void Close();

 private:
  bool Refill();
  int Fail(Bzip2Failure failure);

  FILE* file_ = nullptr;
  void* stream_ = nullptr;  // libbz2's bz_stream, kept out of this header
  std::vector<char> input_;
  int64_t remaining_ = 0;
  bool ended_ = false;
  Bzip2Failure failure_ = Bzip2Failure::kNone;
};

// Hardware threads of this machine, clamped to 1..8.
int Bzip2DefaultWorkers();

#endif  // LM_BZIP2_BZIP2_READER_H_
