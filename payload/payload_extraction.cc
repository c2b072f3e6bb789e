#include "payload/payload_extraction.h"

#include <vector>

#include "file/lm_file.h"
#include "file/lm_file_stream.h"
#include "payload/payload_format.h"
#include "payload/payload_unpacker.h"

LmString NameWithSuffix(const LmString& base, int attempt) {
  if (attempt == 0) return base;
  LmString suffix;
  suffix.Format("-%d", attempt);
  return LmString::Concat(base, suffix);
}

namespace {

LmString StagingPath(const LmString& directory, const LmString& base, const PayloadTable& table) {
  LmString name = base;
  for (int attempt = 1; attempt < kNameAttempts && payload::IsTopLevelName(table.entries, name); ++attempt) {
    name = NameWithSuffix(base, attempt);
  }
  return LmString::Concat(LmString::Concat(directory, "\\"), name);
}

// Reads and checks the table and lets `filter` see it, then copies the
// compressed data into a new staging file, *stagingPath once it exists,
// checking the payload's CRC-32 on the way.
Result Stage(const std::string& setupPath, const LmString& directory, const LmString& stagingBase,
             const PayloadNameFilter& filter, PayloadTable* table, LmString* stagingPath, char* buffer) {
  LmFileStream own;
  if (setupPath.empty() || !own.OpenFile(setupPath.c_str(), 0)) {
    return Result::Fail(Outcome::kUnreadable, "the setup file cannot be opened");
  }
  Result result = PayloadReader::ReadTable(&own, table);
  if (result.ok()) result = table->record.Describes(table->payloadSize());
  if (!result.ok()) return result;
  if (filter) result = filter(table);
  if (!result.ok()) {
    // A table that damage changed is reported as damaged, not for what the
    // damage made of it: the data is read through, writing nothing.
    uint32_t crc = 0;
    Result whole = PayloadReader::CopyCompressed(&own, nullptr, *table, buffer, &crc);
    if (whole.ok()) whole = table->record.Matches(table->payloadSize(), crc);
    return whole.ok() ? result : whole;
  }
  LmFileStream staging;
  *stagingPath = StagingPath(directory, stagingBase, *table);
  if (!staging.OpenFile(*stagingPath, 1))
    return Result::Fail(Outcome::kCannotMake, "the staging file cannot be created");
  uint32_t crc = 0;
  result = PayloadReader::CopyCompressed(&own, &staging, *table, buffer, &crc);
  return result.ok() ? table->record.Matches(table->payloadSize(), crc) : result;
}

}  // namespace

Result ExtractPayload(const std::string& setupPath, const LmString& directory, const LmString& stagingBase,
                      const PayloadNameFilter& filter, PayloadTable* table) {
  std::vector<char> buffer(CHUNK_SIZE);
  LmString stagingPath;
  Result result = Stage(setupPath, directory, stagingBase, filter, table, &stagingPath, buffer.data());
  if (result.ok()) result = UnpackPayload(stagingPath, directory, *table);
  if (stagingPath.GetLength() > 0) LmFile(stagingPath).Delete();
  return result;
}
