// Reading the stream lmpack compresses: the contents of the table's files,
// one after the other, from the files on disk. The one place that notices
// a file that changed since the folder was scanned, for both codecs.
#ifndef LM_TOOLS_SPAN_READER_H_
#define LM_TOOLS_SPAN_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/folder_scan.h"
#include "util/result.h"

// A file's place in the stream.
struct FileSpan {
  std::string host;
  uint64_t start = 0;
  uint64_t size = 0;
};

// The file entries of `entries` laid end to end; *total their bytes.
std::vector<FileSpan> LayOutFiles(const std::vector<PackEntry>& entries, uint64_t* total);

// Reads the bytes [start, start + size) of the stream, in order, from the
// files that hold them (not copied; they outlive the reader). A file that
// ends before its size, or goes on after it, has changed since the folder
// was scanned: kUnreadable, naming it.
class SpanReader {
 public:
  SpanReader(const std::vector<FileSpan>& files, uint64_t start, uint64_t size);
  ~SpanReader();
  SpanReader(const SpanReader&) = delete;
  SpanReader& operator=(const SpanReader&) = delete;

  // Up to `size` bytes into `buffer`, *got of them; *got is 0 only at the
  // span's end.
  Result Read(char* buffer, size_t size, size_t* got);

 private:
  void Close();

  const std::vector<FileSpan>& files_;
  uint64_t position_;
  uint64_t end_;
  size_t file_ = 0;
  FILE* open_ = nullptr;
};

#endif  // LM_TOOLS_SPAN_READER_H_
