#include "inspect_commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bzlib.h"
#include "filenode.h"
#include "lm_file_stream.h"
#include "name_encoding.h"
#include "payload_format.h"
#include "payload_reader.h"

namespace {

void Error(const std::string& message) { fprintf(stderr, "lmpack: %s\n", message.c_str()); }

ExitStatus OpenPayload(const std::string& path, LmFileStream* file, PayloadTable* table) {
  if (!file->OpenFile(path.c_str(), 0)) {
    Error(path + ": cannot open");
    return ExitStatus::kIo;
  }
  std::string problem;
  if (PayloadReader::ReadTable(file, table, &problem) != PayloadResult::kOk) {
    Error(path + ": damaged or missing payload: " + problem);
    return ExitStatus::kRefused;
  }
  return ExitStatus::kOk;
}

// Decompresses the table's compressed data from `file` (positioned at it);
// the problem, or empty when the data is one whole bzip2 stream. *produced
// counts the bytes it gave.
std::string Decompress(LmFileStream* file, const PayloadTable& table, uint64_t* produced) {
  bz_stream stream;
  memset(&stream, 0, sizeof(stream));
  if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) return "bzip2 cannot start";
  std::vector<char> input(CHUNK_SIZE), output(1 << 16);
  int32_t remaining = table.compressedLength;
  int result = BZ_OK;
  std::string problem;
  while (result == BZ_OK && problem.empty()) {
    if (stream.avail_in == 0 && remaining > 0) {
      int chunk = remaining < CHUNK_SIZE ? remaining : CHUNK_SIZE;
      if (file->Read(input.data(), chunk) != chunk) problem = "the compressed data cannot be read";
      remaining -= chunk;
      stream.next_in = input.data();
      stream.avail_in = static_cast<unsigned>(chunk);
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<unsigned>(output.size());
    result = BZ2_bzDecompress(&stream);
    *produced += output.size() - stream.avail_out;
    if (result == BZ_OK && stream.avail_in == 0 && remaining == 0 && stream.avail_out != 0) {
      problem = "the compressed data ends before the end of its bzip2 stream";
    }
  }
  BZ2_bzDecompressEnd(&stream);
  if (problem.empty() && result != BZ_STREAM_END) {
    problem = "the compressed data is corrupt (bzip2 error " + std::to_string(result) + ")";
  }
  if (problem.empty() && (remaining != 0 || stream.avail_in != 0)) problem = "data follows the end of the bzip2 stream";
  return problem;
}

}  // namespace

ExitStatus RunList(const LmpackOptions& options) {
  LmFileStream file;
  PayloadTable table;
  ExitStatus status = OpenPayload(options.input, &file, &table);
  if (status != ExitStatus::kOk) return status;
  auto shown = [&options](const LmString& bytes) { return DisplayPayloadText(bytes.GetText(), options.codePage); };
  printf("launch name: %s\n", shown(table.launchName).c_str());
  printf("payload offset: %d\n", table.payloadOffset);
  printf("compressed length: %d\n", table.compressedLength);
  printf("entries: %d\n", table.entries.GetCount());
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& e = node->value;
    const char* kind = e.kind == FILENODE::kFile ? "file" : e.kind == FILENODE::kDirectory ? "dir" : "other";
    printf("%-5s %10u %s\n", kind, e.size, shown(e.path).c_str());
  }
  return ExitStatus::kOk;
}

ExitStatus RunVerify(const LmpackOptions& options) {
  LmFileStream file;
  PayloadTable table;
  ExitStatus status = OpenPayload(options.input, &file, &table);
  if (status != ExitStatus::kOk) return status;
  uint64_t produced = 0;
  std::string problem = Decompress(&file, table, &produced);
  if (problem.empty() && produced != table.unpackedSize) {
    problem = "the data holds " + std::to_string(produced) + " bytes where the table promises " +
              std::to_string(table.unpackedSize);
  }
  if (!problem.empty()) {
    Error(options.input + ": " + problem);
    return ExitStatus::kRefused;
  }
  printf("%s: OK, %d entries, %llu bytes in %d compressed\n", options.input.c_str(), table.entries.GetCount(),
         static_cast<unsigned long long>(produced), table.compressedLength);
  return ExitStatus::kOk;
}
