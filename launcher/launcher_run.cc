#include "launcher_run.h"

#include <string>
#include <vector>

#include "delete_tree.h"
#include "exit_codes.h"
#include "lm_file.h"
#include "lm_file_stream.h"
#include "lm_time.h"
#include "payload_format.h"
#include "payload_reader.h"
#include "payload_unpacker.h"
#include "platform.h"
#include "process.h"
#include "temp_directory.h"

namespace {

// How many suffixed names ("-1", "-2", ...) are tried when a name is taken.
const int kNameAttempts = 100;

LmString WithSuffix(const LmString& base, int attempt) {
  if (attempt == 0) return base;
  LmString suffix;
  suffix.Format("-%d", attempt);
  return LmString::Concat(base, suffix);
}

// Creates a working directory that did not exist before: a directory that
// is already there (planted, or made by a launcher started in the same
// second) is never reused.
bool MakeWorkingDirectory(const std::string& tempPath, LmString* path) {
  LmString base = LmString::Concat(LmString::Concat(LmString(tempPath.c_str()), "\\"), MakeTimestampName());
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    LmString candidate = WithSuffix(base, attempt);
    if (platform::MakePrivateDirectory(candidate.GetText()) == 0) {
      *path = candidate;
      return true;
    }
  }
  return false;
}

// The staging file's path: a timestamp name inside the working directory
// that is none of the table's top-level names, so that no entry can
// overwrite the compressed data while it is read.
LmString StagingPath(const LmString& workingDirectory, const PayloadTable& table) {
  LmString base = MakeTimestampName();
  LmString name = base;
  for (int attempt = 1; attempt < kNameAttempts && payload::IsTopLevelName(table.entries, name); ++attempt) {
    name = WithSuffix(base, attempt);
  }
  return LmString::Concat(LmString::Concat(workingDirectory, "\\"), name);
}

// Reads the payload's table out of the own file and copies its compressed
// data into a new staging file; *stagingPath names it once it exists.
LaunchOutcome Stage(const std::string& ownPath, const LmString& workingDirectory, PayloadTable* table,
                    LmString* stagingPath, char* buffer) {
  LmFileStream own;
  if (ownPath.empty() || !own.OpenFile(ownPath.c_str(), 0)) return LaunchOutcome::kOwnFileUnreadable;
  std::string problem;
  if (PayloadReader::ReadTable(&own, table, &problem) != PayloadResult::kOk) return LaunchOutcome::kBadPayload;
  LmFileStream staging;
  *stagingPath = StagingPath(workingDirectory, *table);
  if (!staging.OpenFile(*stagingPath, 1)) return LaunchOutcome::kCannotMake;
  switch (PayloadReader::CopyCompressed(&own, &staging, *table, buffer, &problem)) {
    case PayloadResult::kOk:
      return LaunchOutcome::kUnpacked;
    case PayloadResult::kStagingFailed:
      return staging.WriteFailedForSpace() ? LaunchOutcome::kDiskFull : LaunchOutcome::kWriteFault;
    default:
      return LaunchOutcome::kBadPayload;
  }
}

// Stages the compressed data and unpacks every entry from it; the staging
// file is gone again when this returns.
LaunchOutcome Extract(const std::string& ownPath, const LmString& workingDirectory, PayloadTable* table) {
  std::vector<char> buffer(CHUNK_SIZE);
  LmString stagingPath;
  LaunchOutcome outcome = Stage(ownPath, workingDirectory, table, &stagingPath, buffer.data());
  if (outcome == LaunchOutcome::kUnpacked) {
    outcome = UnpackPayload(stagingPath, workingDirectory, *table, buffer.data());
  }
  if (stagingPath.GetLength() > 0) LmFile(stagingPath).Delete();
  return outcome;
}

int StartAndWait(const LmString& workingDirectory, const LmString& launchName) {
  LmString program = LmString::Concat(LmString::Concat(workingDirectory, "\\"), launchName);
  platform::ProcessResult result = platform::RunAndWait(program.GetText());
  if (result.kind == platform::ProcessResult::kExited) return static_cast<int>(result.exitCode);
  return ExitCodeForStartFailure(result);
}

void RemoveWorkingDirectory(const LmString& path) {
  LmFile* directory = new LmFile(path);
  directory->AddRef();
  DeleteTree(directory);
}

}  // namespace

LmString MakeTimestampName() {
  LmTime* now = LmTime::Now();
  LmString name;
  name.Format("%04d%02d%02d%02d%02d%02d", now->GetYear(), now->GetMonth(), now->GetDay(), now->GetHour(),
              now->GetMinute(), now->GetSecond());
  now->Release();
  return name;
}

int RunLauncher() {
  std::string ownPath, tempPath;
  if (!platform::GetExecutablePath(&ownPath)) ownPath.clear();
  if (!platform::GetAnsiTempDirectory(&tempPath)) return ExitCodeFor(LaunchOutcome::kCannotMake);
  LmString workingDirectory;
  if (!MakeWorkingDirectory(tempPath, &workingDirectory)) return ExitCodeFor(LaunchOutcome::kCannotMake);

  PayloadTable table;
  LaunchOutcome outcome = Extract(ownPath, workingDirectory, &table);
  int exitCode = outcome == LaunchOutcome::kUnpacked ? StartAndWait(workingDirectory, table.launchName)
                                                      : ExitCodeFor(outcome);
  RemoveWorkingDirectory(workingDirectory);
  return exitCode;
}
