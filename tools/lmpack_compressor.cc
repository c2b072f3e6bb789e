#include "lmpack_compressor.h"

#include <cstdio>
#include <cstring>

#include "bzlib.h"
#include "filenode.h"
#include "lm_file_stream.h"
#include "platform.h"
#include "utf8_files.h"

namespace {

const int kReadChunk = 1 << 18;
const uint64_t kMaxCompressed = uint64_t{1} << 31;

void Error(const std::string& message) { fprintf(stderr, "lmpack: %s\n", message.c_str()); }

class Progress {
 public:
  Progress(uint64_t total, bool quiet)
      : total_(total), show_(!quiet && total >= (8u << 20) && platform::IsTerminal(stderr)) {}
  ~Progress() {
    if (show_) fprintf(stderr, "\n");
  }
  void Add(uint64_t bytes) {
    done_ += bytes;
    uint64_t mib = done_ >> 20;
    if (show_ && mib != shown_) {
      shown_ = mib;
      fprintf(stderr, "\rlmpack: %llu of %llu MiB", static_cast<unsigned long long>(mib),
              static_cast<unsigned long long>(total_ >> 20));
    }
  }

 private:
  uint64_t total_;
  bool show_;
  uint64_t done_ = 0;
  uint64_t shown_ = ~uint64_t{0};
};

// Feeds bzip2 and writes what it produces to `out`.
class Compressor {
 public:
  Compressor(LmFileStream* out, int level) : out_(out) {
    memset(&stream_, 0, sizeof(stream_));
    ok_ = BZ2_bzCompressInit(&stream_, level, 0, 0) == BZ_OK;
  }
  ~Compressor() { BZ2_bzCompressEnd(&stream_); }

  ExitStatus Feed(const char* data, unsigned size) { return Run(data, size, BZ_RUN); }
  ExitStatus Finish() { return Run(nullptr, 0, BZ_FINISH); }
  uint64_t written() const { return written_; }

 private:
  ExitStatus Run(const char* data, unsigned size, int action) {
    if (!ok_) return Fail(ExitStatus::kIo, "bzip2 cannot start");
    stream_.next_in = const_cast<char*>(data);
    stream_.avail_in = size;
    for (;;) {
      stream_.next_out = output_;
      stream_.avail_out = sizeof(output_);
      int result = BZ2_bzCompress(&stream_, action);
      if (result < 0) return Fail(ExitStatus::kIo, "bzip2 failed");
      int produced = static_cast<int>(sizeof(output_) - stream_.avail_out);
      if (out_->Write(output_, produced) != produced) return Fail(ExitStatus::kIo, "cannot write the compressed data");
      written_ += static_cast<uint64_t>(produced);
      if (written_ >= kMaxCompressed) return Fail(ExitStatus::kRefused, "the compressed data would reach 2 GiB");
      if (action == BZ_FINISH ? result == BZ_STREAM_END : stream_.avail_in == 0) return ExitStatus::kOk;
    }
  }
  ExitStatus Fail(ExitStatus status, const char* why) {
    if (ok_) Error(why);
    ok_ = false;
    return status;
  }

  LmFileStream* out_;
  bz_stream stream_;
  bool ok_;
  uint64_t written_ = 0;
  char output_[1 << 16];
};

ExitStatus CompressFile(const PackEntry& entry, Compressor* compressor, Progress* progress, std::vector<char>* buffer) {
  FILE* file = platform::OpenFileUtf8(entry.host.c_str(), "rb");
  if (file == nullptr) {
    Error(entry.host + ": cannot read");
    return ExitStatus::kIo;
  }
  uint64_t read = 0;
  size_t n;
  ExitStatus status = ExitStatus::kOk;
  while (status == ExitStatus::kOk && (n = fread(buffer->data(), 1, buffer->size(), file)) > 0) {
    read += n;
    if (read > entry.size) break;
    status = compressor->Feed(buffer->data(), static_cast<unsigned>(n));
    progress->Add(n);
  }
  bool failed = ferror(file) != 0;
  fclose(file);
  if (status == ExitStatus::kOk && (read != entry.size || failed)) {
    Error(entry.host + ": the file changed while it was packed");
    status = ExitStatus::kIo;
  }
  return status;
}

}  // namespace

ExitStatus CompressFiles(const LmpackOptions& options, const std::vector<PackEntry>& entries, uint64_t total,
                         const std::string& dataPath, int64_t* compressedLength) {
  LmFileStream out;
  if (!out.OpenFile(dataPath.c_str(), 1)) {
    Error(dataPath + ": cannot create");
    return ExitStatus::kIo;
  }
  ExitStatus status = ExitStatus::kOk;
  {
    Compressor compressor(&out, options.level);
    Progress progress(total, options.quiet);
    std::vector<char> buffer(kReadChunk);
    for (const PackEntry& e : entries) {
      if (e.kind == FILENODE::kFile && status == ExitStatus::kOk) status = CompressFile(e, &compressor, &progress, &buffer);
    }
    if (status == ExitStatus::kOk) status = compressor.Finish();
    *compressedLength = static_cast<int64_t>(compressor.written());
  }
  if (!out.Close() && status == ExitStatus::kOk) {
    Error(dataPath + ": cannot write");
    status = ExitStatus::kIo;
  }
  return status;
}
