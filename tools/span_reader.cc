#include "tools/span_reader.h"

#include "payload/filenode.h"
#include "platform/platform.h"
#include "platform/utf8_files.h"

namespace {

Result Changed(const std::string& host) {
  return Result::Fail(Outcome::kUnreadable, ShownPath(host) + ": the file changed while it was packed");
}

}  // namespace

std::vector<FileSpan> LayOutFiles(const std::vector<PackEntry>& entries, uint64_t* total) {
  std::vector<FileSpan> files;
  *total = 0;
  for (const PackEntry& entry : entries) {
    if (entry.kind != FILENODE::kFile) continue;
    files.push_back({entry.host, *total, entry.size});
    *total += entry.size;
  }
  return files;
}

SpanReader::SpanReader(const std::vector<FileSpan>& files, uint64_t start, uint64_t size)
    : files_(files), position_(start), end_(start + size) {
  while (file_ < files_.size() && files_[file_].start + files_[file_].size <= position_) ++file_;
}

SpanReader::~SpanReader() { Close(); }

void SpanReader::Close() {
  if (open_ != nullptr) fclose(open_);
  open_ = nullptr;
}

Result SpanReader::Read(char* buffer, size_t size, size_t* got) {
  *got = 0;
  if (position_ == end_) return Result();
  while (files_[file_].size == 0) ++file_;
  const FileSpan& file = files_[file_];
  if (open_ == nullptr) {
    open_ = platform::OpenFileUtf8(file.host.c_str(), "rb");
    if (open_ == nullptr) return Result::Fail(Outcome::kUnreadable, ShownPath(file.host) + ": cannot read");
    if (platform::SeekFile(open_, static_cast<int64_t>(position_ - file.start)) != 0) return Changed(file.host);
  }
  uint64_t want = file.start + file.size - position_;
  if (want > end_ - position_) want = end_ - position_;
  if (want > size) want = size;
  *got = fread(buffer, 1, static_cast<size_t>(want), open_);
  position_ += *got;
  if (*got != want) return Changed(file.host);
  if (position_ == file.start + file.size) {
    const bool longer = fgetc(open_) != EOF;
    Close();
    ++file_;
    if (longer) return Changed(file.host);
  } else if (position_ == end_) {
    Close();
  }
  return Result();
}
