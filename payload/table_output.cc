#include "payload/table_output.h"

#include "file/lm_file_stream.h"
#include "payload/filenode.h"
#include "payload/payload_format.h"
#include "platform/memory.h"
#include "platform/process.h"

namespace {

const int kHeadBytes = 4;

Result WriteFault() { return Result::Fail(Outcome::kWriteFault, "an entry cannot be created or written"); }

Result WriteFailure(const LmFileStream& out) {
  return out.WriteFailedForSpace() ? Result::Fail(Outcome::kDiskFull, "the disk is full") : WriteFault();
}

// Once an allocation has failed, nothing more is written: the decoders
// stop at the first write refused.
Result NoMemory() { return Result::Fail(Outcome::kNoMemory, "out of memory"); }

Result TooMuchData() { return Result::Fail(Outcome::kCorruptData, "the compressed data holds more than the table"); }

Result TooLittleData() {
  return Result::Fail(Outcome::kCorruptData, "the compressed data ends before the table's files do");
}

bool CreateEmpty(platform::ContainedTree* tree, const LmString& path) {
  FILE* file = tree->CreateNewFile(path.GetText());
  return file != nullptr && fclose(file) == 0;
}

}  // namespace

struct TableOutput::File {
  const FILENODE* entry;
  uint64_t start;  // of its bytes in the decoded stream
  uint32_t size;
  bool created;  // by Plan: runs open it without truncating
  unsigned char head[kHeadBytes];
};

// A run holds an open file only while it is being written, so that a
// stream of many blocks costs a few words per block.
struct TableOutput::Run {
  uint64_t position = 0;  // in the decoded stream
  uint64_t end = 0;
  size_t file = 0;                    // the file that holds `position`, or the next one with bytes
  std::unique_ptr<LmFileStream> out;  // open on files[file], or null
};

TableOutput::TableOutput(const LmString& workingDirectory, const PayloadTable& table)
    : tree_(workingDirectory.GetText()), table_(table) {}

TableOutput::~TableOutput() = default;

Result TableOutput::Plan(const std::vector<uint64_t>& runStarts, uint64_t total) {
  const uint64_t size = table_.unpackedSize;
  if (total != kUnknownSize && total != size) {
    return Result::Fail(Outcome::kCorruptData, "the compressed data does not hold the table's size");
  }
  if (!tree_.valid()) return WriteFault();
  runCount_ = runStarts.size();
  runs_.reset(new Run[runCount_]);
  for (size_t i = 0; i < runCount_; ++i) {
    const uint64_t end = i + 1 < runCount_ ? runStarts[i + 1] : size;
    if ((i == 0 && runStarts[0] != 0) || runStarts[i] > end || end > size) return TooMuchData();
    runs_[i].position = runStarts[i];
    runs_[i].end = end;
  }

  uint64_t start = 0;
  size_t nextRun = 0;
  for (auto* node = table_.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& entry = node->value;
    if (entry.kind == FILENODE::kDirectory && !tree_.MakeDirectory(entry.path.GetText())) return WriteFault();
    if (entry.kind != FILENODE::kFile) continue;
    File file = {&entry, start, entry.size, false, {}};
    start += entry.size;
    while (nextRun < runCount_ && runStarts[nextRun] <= file.start) ++nextRun;
    const bool shared = nextRun < runCount_ && runStarts[nextRun] < start;
    if (entry.size == 0 || shared) {
      if (!CreateEmpty(&tree_, entry.path)) return WriteFault();
      file.created = true;
    }
    files_.push_back(file);
  }
  // The runs ascend: one walk over the files places them all.
  size_t file = 0;
  for (size_t i = 0; i < runCount_; ++i) {
    Run& run = runs_[i];
    while (file < files_.size() && files_[file].start + files_[file].size <= run.position) ++file;
    run.file = file;
  }
  return platform::MemoryRanOut() ? NoMemory() : Result();
}

// Opens the run's file at the run's position: a file the run begins is
// created, unless Plan made it; one it continues is opened again and
// positioned.
Result TableOutput::OpenAt(Run* run) {
  while (files_[run->file].size == 0) ++run->file;
  File& file = files_[run->file];
  const uint64_t offset = run->position - file.start;
  run->out.reset(new LmFileStream);
  const char* relative = file.entry->path.GetText();
  const bool create = offset == 0 && !file.created;
  if (!run->out->AdoptFile(create ? tree_.CreateNewFile(relative) : tree_.OpenExistingFile(relative), create ? 1 : 3)) {
    return WriteFault();
  }
  if (offset > 0 && !run->out->SeekTo(offset)) return WriteFault();
  return Result();
}

Result TableOutput::Write(size_t index, const char* data, size_t size) {
  if (platform::MemoryRanOut()) return NoMemory();
  Run* run = &runs_[index];
  if (size > run->end - run->position) return TooMuchData();
  while (size > 0) {
    if (!run->out) {
      Result result = OpenAt(run);
      if (!result.ok()) return result;
    }
    File& file = files_[run->file];
    const uint64_t offset = run->position - file.start;
    uint64_t piece = file.size - offset;
    if (piece > size) piece = size;
    if (piece > static_cast<uint64_t>(CHUNK_SIZE)) piece = CHUNK_SIZE;
    const int n = static_cast<int>(piece);
    if (run->out->Write(data, n) != n) return WriteFailure(*run->out);
    for (uint64_t i = offset; i < kHeadBytes && i < offset + piece; ++i) file.head[i] = data[i - offset];
    data += n;
    size -= static_cast<size_t>(n);
    run->position += piece;
    if (run->position == file.start + file.size || run->position == run->end) {
      const bool closed = run->out->Close() != 0;
      const Result failure = closed ? Result() : WriteFailure(*run->out);
      run->out.reset();
      if (!closed) return failure;
      ++run->file;
    }
  }
  return Result();
}

Result TableOutput::Finish() {
  for (size_t i = 0; i < runCount_; ++i) {
    if (runs_[i].position != runs_[i].end) return TooLittleData();
  }
  const LmString launchPath = LmString::Concat(LmString("\\"), table_.launchName);
  for (const File& file : files_) {
    const int headLength = file.size < kHeadBytes ? static_cast<int>(file.size) : kHeadBytes;
    const bool launchTarget = launchPath.Equals(file.entry->path.GetText()) == 1;
    if (platform::NeedsExecuteBit(file.head, headLength, launchTarget) &&
        !tree_.AddExecuteBit(file.entry->path.GetText())) {
      return WriteFault();
    }
  }
  return Result();
}
