#include "tools/lmpack_compressor.h"

#include "bzip2/bzip2_writer.h"
#include "file/lm_file_stream.h"
#include "tools/compressed_output.h"
#include "tools/pack_progress.h"
#include "tools/span_reader.h"
#include "tools/xz_compressor.h"
#include "util/worker_pool.h"

namespace {

const int kReadChunk = 1 << 18;

// Feeds the bzip2 writer and says why it stopped.
class Bzip2Compressor {
 public:
  Bzip2Compressor(CompressedOutput* out, int level, int jobs)
      : writer_(level, jobs, [this, out](const char* data, size_t size) { return Take(out, data, size); }) {}

  Result Feed(const char* data, unsigned size) { return writer_.Write(data, size) ? Result() : Failure(); }
  Result Finish() { return writer_.Finish() ? Result() : Failure(); }

 private:
  bool Take(CompressedOutput* out, const char* data, size_t size) {
    sinkResult_ = out->Write(data, size);
    return sinkResult_.ok();
  }
  Result Failure() const {
    if (!sinkResult_.ok()) return sinkResult_;
    return Result::Fail(Outcome::kWriteFault, "bzip2 failed");
  }

  Result sinkResult_;
  Bzip2Writer writer_;
};

Result CompressBzip2(const LmpackOptions& options, const std::vector<PackEntry>& entries, CompressedOutput* out) {
  uint64_t total = 0;
  const std::vector<FileSpan> files = LayOutFiles(entries, &total);
  Bzip2Compressor compressor(out, options.level, options.jobs > 0 ? options.jobs : util::DefaultWorkers());
  PackProgress progress(total, options.quiet);
  SpanReader reader(files, 0, total);
  std::vector<char> buffer(kReadChunk);
  for (;;) {
    size_t got = 0;
    Result result = reader.Read(buffer.data(), buffer.size(), &got);
    if (result.ok() && got > 0) result = compressor.Feed(buffer.data(), static_cast<unsigned>(got));
    if (!result.ok()) return result;
    if (got == 0) return compressor.Finish();
    progress.Add(got);
  }
}

}  // namespace

Result CompressFiles(const LmpackOptions& options, const std::vector<PackEntry>& entries,
                     const std::vector<BlockContent>& contents, uint64_t limit, const std::string& dataPath,
                     int64_t* compressedLength) {
  LmFileStream file;
  if (!file.OpenFile(dataPath.c_str(), 1)) return Result::Fail(Outcome::kCannotMake, dataPath + ": cannot create");
  CompressedOutput out(&file, limit);
  Result result =
      options.codec == "xz" ? CompressFilesXz(options, entries, contents, &out) : CompressBzip2(options, entries, &out);
  *compressedLength = static_cast<int64_t>(out.written());
  if (!file.Close() && result.ok()) result = Result::Fail(Outcome::kWriteFault, dataPath + ": cannot write");
  return result;
}
