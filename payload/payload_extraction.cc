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

// Reads and checks the table, then copies the compressed data into a new
// staging file, *stagingPath once it exists, checking the payload's CRC-32
// on the way.
LaunchOutcome Stage(const std::string& setupPath, const LmString& directory, const LmString& stagingBase,
                    PayloadTable* table, LmString* stagingPath, char* buffer, std::string* problem) {
  LmFileStream own;
  if (setupPath.empty() || !own.OpenFile(setupPath.c_str(), 0)) {
    *problem = "the setup file cannot be opened";
    return LaunchOutcome::kOwnFileUnreadable;
  }
  if (PayloadReader::ReadTable(&own, table, problem) != PayloadResult::kOk ||
      !table->record.Describes(table->payloadSize(), problem)) {
    return LaunchOutcome::kBadPayload;
  }
  LmFileStream staging;
  *stagingPath = StagingPath(directory, stagingBase, *table);
  if (!staging.OpenFile(*stagingPath, 1)) {
    *problem = "the staging file cannot be created";
    return LaunchOutcome::kCannotMake;
  }
  uint32_t crc = 0;
  switch (PayloadReader::CopyCompressed(&own, &staging, *table, buffer, &crc, problem)) {
    case PayloadResult::kOk:
      break;
    case PayloadResult::kStagingFailed:
      return staging.WriteFailedForSpace() ? LaunchOutcome::kDiskFull : LaunchOutcome::kWriteFault;
    default:
      return LaunchOutcome::kBadPayload;
  }
  return table->record.Matches(table->payloadSize(), crc, problem) ? LaunchOutcome::kUnpacked
                                                                   : LaunchOutcome::kBadPayload;
}

const char* UnpackProblem(LaunchOutcome outcome) {
  switch (outcome) {
    case LaunchOutcome::kDiskFull:
      return "the disk is full";
    case LaunchOutcome::kCorruptData:
      return "the compressed data is corrupt or does not match the table";
    default:
      return "an entry cannot be created or written";
  }
}

}  // namespace

LaunchOutcome ExtractPayload(const std::string& setupPath, const LmString& directory, const LmString& stagingBase,
                             const PayloadNameFilter& filter, PayloadTable* table, std::string* problem) {
  std::vector<char> buffer(CHUNK_SIZE);
  LmString stagingPath;
  LaunchOutcome outcome = Stage(setupPath, directory, stagingBase, table, &stagingPath, buffer.data(), problem);
  if (outcome == LaunchOutcome::kUnpacked && filter && !filter(table, problem)) outcome = LaunchOutcome::kBadPayload;
  if (outcome == LaunchOutcome::kUnpacked) {
    outcome = UnpackPayload(stagingPath, directory, *table, buffer.data());
    if (outcome != LaunchOutcome::kUnpacked) *problem = UnpackProblem(outcome);
  }
  if (stagingPath.GetLength() > 0) LmFile(stagingPath).Delete();
  return outcome;
}
