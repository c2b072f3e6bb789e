#include "launcher_run.h"

#include <string>
#include <vector>

#include "delete_tree.h"
#include "exit_codes.h"
#include "lm_file.h"
#include "lm_file_stream.h"
#include "lm_time.h"
#include "payload_extraction.h"
#include "payload_reader.h"
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

// Stages the compressed data and unpacks every entry from it; the staging
// file is gone again when this returns.
LaunchOutcome Extract(const std::string& ownPath, const LmString& workingDirectory, PayloadTable* table) {
  std::string problem;
  return ExtractPayload(ownPath, workingDirectory, MakeTimestampName(), PayloadNameFilter(), table, &problem);
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
