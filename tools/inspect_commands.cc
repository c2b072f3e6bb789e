#include "tools/inspect_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "bzip2/bzip2_failure.h"
#include "bzip2/bzip2_reader.h"
#include "file/lm_file_stream.h"
#include "payload/filenode.h"
#include "payload/integrity_record.h"
#include "payload/payload_format.h"
#include "payload/payload_reader.h"
#include "platform/platform.h"
#include "tools/name_encoding.h"
#include "tools/setup_branding.h"

namespace {

ExitStatus OpenPayload(const std::string& path, LmFileStream* file, PayloadTable* table) {
  if (!file->OpenFile(path.c_str(), 0)) {
    ReportError(path + ": cannot open");
    return ExitStatus::kIo;
  }
  std::string problem;
  if (PayloadReader::ReadTable(file, table, &problem) != PayloadResult::kOk) {
    ReportError(path + ": damaged or missing payload: " + problem);
    return ExitStatus::kRefused;
  }
  return ExitStatus::kOk;
}

// Reads the rest of the payload behind the table in `file` (positioned by
// ReadTable) and holds it against the integrity record. *line describes the
// record for list and verify; false, with *problem, when the record is
// wrong or the data cannot be read.
bool CheckRecord(LmFileStream* file, const PayloadTable& table, std::string* line, std::string* problem) {
  std::vector<char> buffer(CHUNK_SIZE);
  uint32_t crc = 0;
  if (PayloadReader::CopyCompressed(file, nullptr, table, buffer.data(), &crc, problem) != PayloadResult::kOk) {
    *line = "unknown";
    return false;
  }
  const payload::IntegrityRecord& record = table.record;
  if (!record.Matches(table.payloadSize(), crc, problem)) {
    *line = "wrong: " + *problem;
    return false;
  }
  char text[96];
  if (record.status() == payload::IntegrityRecord::Status::kAbsent) {
    snprintf(text, sizeof(text), "none (CRC-32 of the payload 0x%08X)", crc);
  } else {
    snprintf(text, sizeof(text), "CRC-32 0x%08X of %u bytes, matches", record.crc(), record.covered());
  }
  *line = text;
  return true;
}

// Decompresses the table's compressed data from the setup at `path`; the
// problem, or empty when the data is one whole bzip2 stream. *produced
// counts the bytes it gave.
std::string Decompress(const std::string& path, const PayloadTable& table, uint64_t* produced) {
  Bzip2Reader reader;
  if (!reader.Open(platform::NativePath(path.c_str()).c_str(), table.dataOffset, table.compressedLength,
                   Bzip2DefaultWorkers())) {
    return "the compressed data cannot be read";
  }
  std::vector<char> output(1 << 16);
  int n;
  while ((n = reader.Read(output.data(), static_cast<int>(output.size()))) > 0) *produced += static_cast<uint64_t>(n);
  if (n == 0) return std::string();
  return Bzip2FailureText(reader.failure());
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
  std::string record, problem;
  CheckRecord(&file, table, &record, &problem);
  printf("integrity record: %s\n", record.c_str());
  PrintVersionStrings(options.input, table.payloadOffset);
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
  std::string record, problem;
  uint64_t produced = 0;
  if (CheckRecord(&file, table, &record, &problem)) problem = Decompress(options.input, table, &produced);
  if (problem.empty() && produced != table.unpackedSize) {
    problem = "the data holds " + std::to_string(produced) + " bytes where the table promises " +
              std::to_string(table.unpackedSize);
  }
  if (!problem.empty()) {
    ReportError(options.input + ": " + problem);
    return ExitStatus::kRefused;
  }
  printf("%s: OK, %d entries, %llu bytes in %d compressed; integrity record: %s\n", options.input.c_str(),
         table.entries.GetCount(), static_cast<unsigned long long>(produced), table.compressedLength, record.c_str());
  return ExitStatus::kOk;
}
