#include "tools/inspect_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "file/lm_file_stream.h"
#include "payload/filenode.h"
#include "payload/integrity_record.h"
#include "payload/payload_codec.h"
#include "payload/payload_description.h"
#include "payload/payload_format.h"
#include "payload/payload_reader.h"
#include "platform/platform.h"
#include "tools/name_encoding.h"
#include "tools/setup_branding.h"
#include "util/byte_source.h"
#include "util/decoded_output.h"
#include "util/worker_pool.h"

namespace {

Result OpenPayload(const std::string& path, LmFileStream* file, PayloadTable* table) {
  if (!file->OpenFile(path.c_str(), 0)) return Result::Fail(Outcome::kUnreadable, path + ": cannot open");
  Result result = PayloadReader::ReadTable(file, table);
  if (result.ok()) return result;
  return Result::Fail(result.outcome(), path + ": damaged or missing payload: " + result.message());
}

// Reads the rest of the payload behind the table in `file` (positioned by
// ReadTable) and holds it against the integrity record. *line describes the
// record for list and verify; a failure when the record is wrong or the
// data cannot be read.
Result CheckRecord(LmFileStream* file, const PayloadTable& table, std::string* line) {
  std::vector<char> buffer(CHUNK_SIZE);
  uint32_t crc = 0;
  Result result = PayloadReader::CopyCompressed(file, nullptr, table, buffer.data(), &crc);
  if (!result.ok()) {
    *line = "unknown";
    return result;
  }
  const payload::IntegrityRecord& record = table.record;
  result = record.Matches(table.payloadSize(), crc);
  if (!result.ok()) {
    *line = "wrong: " + result.message();
    return result;
  }
  char text[96];
  if (record.status() == payload::IntegrityRecord::Status::kAbsent) {
    snprintf(text, sizeof(text), "none (CRC-32 of the payload 0x%08X)", crc);
  } else {
    snprintf(text, sizeof(text), "CRC-32 0x%08X of %u bytes, matches", record.crc(), record.covered());
  }
  *line = text;
  return Result();
}

// Counts what the data decodes to; it must be exactly the table's size.
class CountingOutput : public DecodedOutput {
 public:
  explicit CountingOutput(uint64_t expected) : expected_(expected) {}

  Result Plan(const std::vector<uint64_t>& runStarts, uint64_t total) override {
    if (total != kUnknownSize && total != expected_) return Mismatch(total);
    produced_.assign(runStarts.size(), 0);
    return Result();
  }
  Result Write(size_t run, const char*, size_t size) override {
    produced_[run] += size;
    return Result();
  }
  Result Finish() override {
    uint64_t total = 0;
    for (uint64_t n : produced_) total += n;
    return total == expected_ ? Result() : Mismatch(total);
  }
  uint64_t produced() const {
    uint64_t total = 0;
    for (uint64_t n : produced_) total += n;
    return total;
  }

 private:
  Result Mismatch(uint64_t total) const {
    return Result::Fail(Outcome::kCorruptData, "the data holds " + std::to_string(total) +
                                                   " bytes where the table promises " + std::to_string(expected_));
  }

  uint64_t expected_;
  std::vector<uint64_t> produced_;  // each run's, written by one thread
};

// The table's compressed data in the setup at `path`.
Result OpenData(const std::string& path, const PayloadTable& table, util::FileRange* data) {
  return data->Open(platform::NativePath(path.c_str()).c_str(), table.dataOffset, table.compressedLength)
             ? Result()
             : Result::Fail(Outcome::kUnreadable, path + ": cannot read the compressed data");
}

// Decompresses the table's compressed data from the setup at `path`:
// success when it decodes whole to exactly the table's files. *produced
// counts the bytes it gave.
Result Decompress(const std::string& path, const PayloadTable& table, uint64_t* produced) {
  util::FileRange data;
  Result result = OpenData(path, table, &data);
  if (!result.ok()) return result;
  payload::DecodeSettings settings;
  settings.workers = util::DefaultWorkers();
  CountingOutput output(table.unpackedSize);
  result = payload::DecodePayloadData(&data, settings, &output);
  *produced = output.produced();
  return result;
}

}  // namespace

int CountEntries(const LmList<FILENODE>& entries) {
  int count = 0;
  for (auto* node = entries.GetHead(); node != nullptr; node = node->next) {
    count += node->value.kind == FILENODE::kFile || node->value.kind == FILENODE::kDirectory;
  }
  return count;
}

Result RunList(const LmpackOptions& options) {
  LmFileStream file;
  PayloadTable table;
  Result result = OpenPayload(options.input, &file, &table);
  if (!result.ok()) return result;
  auto shown = [&options](const LmString& bytes) { return DisplayPayloadText(bytes.GetText(), options.codePage); };
  PrintLine("launch name: " + shown(table.launchName));
  PrintLine("payload offset: " + std::to_string(table.payloadOffset));
  PrintLine("compressed length: " + std::to_string(table.compressedLength));
  std::string record;
  CheckRecord(&file, table, &record);
  PrintLine("integrity record: " + record);
  util::FileRange data;
  std::string compression;
  result = OpenData(options.input, table, &data);
  if (result.ok()) result = payload::DescribePayloadData(&data, &compression);
  PrintLine("compression: " + (result.ok() ? compression : "damaged: " + result.message()));
  PrintVersionStrings(options.input, table.payloadOffset);
  const payload::LaunchArguments& arguments = table.arguments;
  if (arguments.present) {
    PrintLine("arguments: " + (arguments.fixed.empty() ? "(none)" : shown(LmString(arguments.fixed.c_str()))));
    PrintLine(std::string("passes the setup's own arguments: ") + (arguments.passOwn() ? "yes" : "no"));
    PrintLine(std::string("waits for every process the program starts: ") + (arguments.waitForTree() ? "yes" : "no"));
  }
  int others = 0;
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const uint32_t kind = node->value.kind;
    others += kind != FILENODE::kFile && kind != FILENODE::kDirectory && kind != payload::kArgumentsKind;
  }
  std::string count = "entries: " + std::to_string(CountEntries(table.entries));
  if (others > 0) count += " (and " + std::to_string(others) + " of another kind, which launchers ignore)";
  PrintLine(count);
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& e = node->value;
    if (e.kind == payload::kArgumentsKind) continue;
    const char* kind = e.kind == FILENODE::kFile ? "file" : e.kind == FILENODE::kDirectory ? "dir" : "other";
    char fields[32];
    snprintf(fields, sizeof(fields), "%-5s %10u ", kind, e.size);
    PrintLine(fields + shown(e.path));
  }
  return Result();
}

Result RunVerify(const LmpackOptions& options) {
  LmFileStream file;
  PayloadTable table;
  Result result = OpenPayload(options.input, &file, &table);
  if (!result.ok()) return result;
  std::string record;
  uint64_t produced = 0;
  result = CheckRecord(&file, table, &record);
  if (result.ok()) result = Decompress(options.input, table, &produced);
  // Whatever is wrong with the data, the setup is refused.
  if (!result.ok()) return Result::Fail(Outcome::kBadInput, options.input + ": " + result.message());
  PrintLine(options.input + ": OK, " + std::to_string(CountEntries(table.entries)) + " entries, " +
            std::to_string(produced) + " bytes in " + std::to_string(table.compressedLength) +
            " compressed; integrity record: " + record);
  return Result();
}
