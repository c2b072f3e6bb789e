#include "tools/lmpack_compressor.h"

#include <cstdio>

#include "bzip2/bzip2_reader.h"
#include "bzip2/bzip2_writer.h"
#include "file/lm_file_stream.h"
#include "payload/filenode.h"
#include "platform/platform.h"
#include "platform/utf8_files.h"
#include "tools/pack_progress.h"
#include "tools/xz_compressor.h"
#include "util/worker_pool.h"

namespace {

const int kReadChunk = 1 << 18;
const uint64_t kMaxCompressed = uint64_t{1} << 31;

// Feeds the bzip2 writer and says why it stopped.
class Compressor {
 public:
  Compressor(LmFileStream* out, int level, int jobs)
      : writer_(level, jobs, [this, out](const char* data, size_t size) { return Take(out, data, size); }) {}

  Result Feed(const char* data, unsigned size) { return writer_.Write(data, size) ? Result() : Failure(); }
  Result Finish() { return writer_.Finish() ? Result() : Failure(); }
  uint64_t written() const { return writer_.written(); }

 private:
  // The sink: the compressed data goes to `out`, and is refused from the
  // format's 2 GiB on.
  bool Take(LmFileStream* out, const char* data, size_t size) {
    if (writer_.written() + size >= kMaxCompressed) {
      tooLarge_ = true;
      return false;
    }
    return out->Write(data, static_cast<int>(size)) == static_cast<int>(size);
  }
  Result Failure() const {
    if (tooLarge_) return Result::Fail(Outcome::kBadInput, "the compressed data would reach 2 GiB");
    return Result::Fail(Outcome::kWriteFault,
                        writer_.sinkFailed() ? "cannot write the compressed data" : "bzip2 failed");
  }

  bool tooLarge_ = false;
  Bzip2Writer writer_;
};

Result CompressFile(const PackEntry& entry, Compressor* compressor, PackProgress* progress, std::vector<char>* buffer) {
  FILE* file = platform::OpenFileUtf8(entry.host.c_str(), "rb");
  if (file == nullptr) return Result::Fail(Outcome::kUnreadable, ShownPath(entry.host) + ": cannot read");
  uint64_t read = 0;
  size_t n;
  Result result;
  while (result.ok() && (n = fread(buffer->data(), 1, buffer->size(), file)) > 0) {
    read += n;
    if (read > entry.size) break;
    result = compressor->Feed(buffer->data(), static_cast<unsigned>(n));
    progress->Add(n);
  }
  bool failed = ferror(file) != 0;
  fclose(file);
  if (result.ok() && (read != entry.size || failed)) {
    result = Result::Fail(Outcome::kUnreadable, ShownPath(entry.host) + ": the file changed while it was packed");
  }
  return result;
}

}  // namespace

Result CompressFiles(const LmpackOptions& options, const std::vector<PackEntry>& entries, const std::vector<bool>& x86,
                     uint64_t total, const std::string& dataPath, int64_t* compressedLength) {
  LmFileStream out;
  if (!out.OpenFile(dataPath.c_str(), 1)) return Result::Fail(Outcome::kCannotMake, dataPath + ": cannot create");
  Result result;
  if (options.codec == "xz") {
    uint64_t written = 0;
    result = CompressFilesXz(options, entries, x86, kMaxCompressed, &out, &written);
    *compressedLength = static_cast<int64_t>(written);
  } else {
    Compressor compressor(&out, options.level, options.jobs > 0 ? options.jobs : util::DefaultWorkers());
    PackProgress progress(total, options.quiet);
    std::vector<char> buffer(kReadChunk);
    for (const PackEntry& e : entries) {
      if (e.kind == FILENODE::kFile && result.ok()) result = CompressFile(e, &compressor, &progress, &buffer);
    }
    if (result.ok()) result = compressor.Finish();
    *compressedLength = static_cast<int64_t>(compressor.written());
  }
  if (!out.Close() && result.ok()) result = Result::Fail(Outcome::kWriteFault, dataPath + ": cannot write");
  return result;
}
