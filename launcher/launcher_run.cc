#include "launcher/launcher_run.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/lm_time.h"
#include "file/delete_tree.h"
#include "file/lm_file.h"
#include "launcher/exit_codes.h"
#include "launcher/program_start.h"
#include "payload/launch_arguments.h"
#include "payload/payload_extraction.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/temp_directory.h"

namespace {

// Keeps the mark in the image, for lmpack to find (launch_arguments.h).
[[gnu::used]] const char* const readsArgumentsMark = payload::kReadsArgumentsMark;

// Creates a working directory that did not exist before: a directory that
// is already there (planted, or made by a launcher started in the same
// second) is never reused.
bool MakeWorkingDirectory(const std::string& tempPath, LmString* path) {
  LmString base = LmString::Concat(LmString::Concat(LmString(tempPath.c_str()), "\\"), MakeTimestampName());
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    LmString candidate = NameWithSuffix(base, attempt);
    if (platform::MakePrivateDirectory(candidate.GetText()) == 0) {
      *path = candidate;
      return true;
    }
  }
  return false;
}

// Starts the program and waits for it. *keepFiles is set when the program
// was started but no process came back to wait for (the shell handed the
// start to a process that was already running): the files may still be in
// use, so they stay, and the exit code is 0 since the start succeeded.
LmString ProgramPath(const LmString& workingDirectory, const LmString& launchName) {
  return LmString::Concat(LmString::Concat(workingDirectory, "\\"), launchName);
}

platform::ProgramArguments ArgumentsOf(const PayloadTable& table) {
  platform::ProgramArguments arguments;
  arguments.fixed = table.arguments.fixed;
  arguments.passOwn = table.arguments.passOwn();
  arguments.utf8 = table.arguments.utf8();
  arguments.waitForTree = table.arguments.waitForTree();
  return arguments;
}

// Before anything is unpacked: the program's command line, with the
// arguments the setup itself was given, must fit what Windows takes.
Result CheckCommandLine(const LmString& workingDirectory, const PayloadTable& table) {
  const LmString program = ProgramPath(workingDirectory, table.launchName);
  const size_t length =
      platform::CommandLineLength(program.GetText(), StartMethodFor(program.GetText()), ArgumentsOf(table));
  if (length == 0) {
    return Result::Fail(Outcome::kUntranslatable, "the program's path or arguments are not text of this system");
  }
  if (length > platform::kMaxCommandLine) {
    return Result::Fail(Outcome::kCommandTooLong, "the program's command line would be too long");
  }
  if (payload::IsBatchFileName(table.launchName.GetText())) {
    // cmd.exe expands % and ! in the batch file's own path too, quoted or
    // not (the temp directory's included).
    if (strpbrk(program.GetText(), "%!") != nullptr) {
      return Result::Fail(Outcome::kBadArguments, "the batch file's path would be expanded by its shell");
    }
    if (table.arguments.passOwn() && !platform::OwnArgumentsSafeForBatchFile()) {
      return Result::Fail(Outcome::kBadArguments, "the setup's arguments would be commands to the batch file's shell");
    }
  }
  return Result();
}

int StartAndWait(const LmString& workingDirectory, const PayloadTable& table, ProgramRunner run, bool* keepFiles) {
  LmString program = ProgramPath(workingDirectory, table.launchName);
  platform::ProcessResult result = StartProgram(program.GetText(), ArgumentsOf(table), run);
  *keepFiles = result.kind == platform::ProcessResult::kStartedUnwatched;
  if (result.kind == platform::ProcessResult::kExited) return static_cast<int>(result.exitCode);
  if (*keepFiles) return 0;
  // The port starts nothing once memory ran out (while the command line
  // was built, say).
  if (platform::MemoryRanOut()) return ExitCodeFor(Outcome::kNoMemory);
  return ExitCodeForStartFailure(result);
}

// Files a program just used are often held a moment longer (a virus
// scanner looking at new files, the indexer, a child process still
// ending): on Windows they then cannot be deleted, and a directory with a
// deleted file still open cannot be removed until it is closed. So the tree
// is deleted, and while anything of it remains it is deleted again after
// 100 ms, 200 ms, ... up to 1 s between tries, for at most 10 s after the
// first try. Everything in the working directory is the launcher's or its
// program's, in a directory nobody else may write, so anything that remains
// is held by a process that may still let go. After the window the rest
// stays where it is; the exit code does not change and nothing is
// scheduled for deletion at the next restart.
const uint32_t kCleanupWindowMs = 10000;
const uint32_t kFirstRetryMs = 100;
const uint32_t kLongestRetryMs = 1000;

void RemoveWorkingDirectory(const LmString& path) {
  const uint32_t start = platform::TickCount();
  uint32_t delay = kFirstRetryMs;
  for (;;) {
    LmFile* directory = new LmFile(path);
    directory->AddRef();
    DeleteTree(directory);
    if (platform::GetEntryInfo(path.GetText()).type == platform::EntryType::kMissing) return;
    const uint32_t elapsed = platform::TickCount() - start;
    if (elapsed >= kCleanupWindowMs) return;
    platform::SleepMs(std::min(delay, kCleanupWindowMs - elapsed));
    delay = std::min(delay * 2, kLongestRetryMs);
  }
}

// The working directory of the run under way, for the last resort when
// memory runs out beyond the reserve (OnMemoryExhausted).
const LmString* currentWorkingDirectory = nullptr;

// Removes the working directory when the run leaves RunSetup.
class WorkingDirectoryRemover {
 public:
  explicit WorkingDirectoryRemover(const LmString& path) : path_(path) { currentWorkingDirectory = &path_; }
  ~WorkingDirectoryRemover() {
    currentWorkingDirectory = nullptr;
    if (!keep_) RemoveWorkingDirectory(path_);
  }
  void Keep() { keep_ = true; }

 private:
  LmString path_;
  bool keep_ = false;
};

// An allocation failed and the reserve could not serve it either: the
// working directory goes, as far as it can without waiting (another thread
// may still hold a file of it open), and the process ends with the
// out-of-memory code.
void OnMemoryExhausted() {
  const LmString* directory = currentWorkingDirectory;
  if (directory == nullptr) return;
  LmFile* tree = new LmFile(*directory);
  tree->AddRef();
  DeleteTree(tree);
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

int RunSetup(const std::string& ownPath, ProgramRunner run) {
  std::string tempPath;
  if (!platform::GetAnsiTempDirectory(&tempPath)) return ExitCodeFor(Outcome::kCannotMake);
  LmString workingDirectory;
  if (!MakeWorkingDirectory(tempPath, &workingDirectory)) return ExitCodeFor(Outcome::kCannotMake);

  WorkingDirectoryRemover remover(workingDirectory);
  PayloadTable table;
  // The staging file is gone again when the extraction returns.
  auto checkCommandLine = [&workingDirectory](PayloadTable* read) { return CheckCommandLine(workingDirectory, *read); };
  Result result = ExtractPayload(ownPath, workingDirectory, MakeTimestampName(), checkCommandLine, &table);
  // An allocation served from the reserve ends the run here, whatever
  // failure it led to on the way.
  if (platform::MemoryRanOut()) return ExitCodeFor(Outcome::kNoMemory);
  if (!result.ok()) return ExitCodeFor(result.outcome());
  bool keepFiles = false;
  int exitCode = StartAndWait(workingDirectory, table, run, &keepFiles);
  if (keepFiles) remover.Keep();
  return exitCode;
}

int RunLauncher(ProgramRunner run) {
  platform::SetOutOfMemoryExit(OnMemoryExhausted, ExitCodeFor(Outcome::kNoMemory));
  std::string ownPath;
  if (!platform::GetExecutablePath(&ownPath)) ownPath.clear();
  return RunSetup(ownPath, run);
}
