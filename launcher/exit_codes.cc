#include "launcher/exit_codes.h"

namespace {

struct ExitCodeRow {
  Outcome outcome;
  int windows;  // a Windows system error code
  int native;   // a BSD sysexits code
};

const ExitCodeRow kExitCodes[] = {
    {Outcome::kUnreadable, 110 /* ERROR_OPEN_FAILED */, 66 /* EX_NOINPUT */},
    {Outcome::kBadInput, 11 /* ERROR_BAD_FORMAT */, 65 /* EX_DATAERR */},
    {Outcome::kCannotMake, 82 /* ERROR_CANNOT_MAKE */, 73 /* EX_CANTCREAT */},
    {Outcome::kWriteFault, 29 /* ERROR_WRITE_FAULT */, 74 /* EX_IOERR */},
    {Outcome::kDiskFull, 112 /* ERROR_DISK_FULL */, 74 /* EX_IOERR */},
    {Outcome::kCorruptData, 1392 /* ERROR_FILE_CORRUPT */, 65 /* EX_DATAERR */},
    {Outcome::kNoMemory, 8 /* ERROR_NOT_ENOUGH_MEMORY */, 71 /* EX_OSERR */},
    {Outcome::kMemoryLimit, 14 /* ERROR_OUTOFMEMORY */, 69 /* EX_UNAVAILABLE */},
    {Outcome::kCommandTooLong, 206 /* ERROR_FILENAME_EXCED_RANGE */, 64 /* EX_USAGE */},
    {Outcome::kBadArguments, 160 /* ERROR_BAD_ARGUMENTS */, 64 /* EX_USAGE */},
    {Outcome::kUntranslatable, 1113 /* ERROR_NO_UNICODE_TRANSLATION */, 65 /* EX_DATAERR */},
};

const int kWindowsFileNotFound = 2;
const int kNativeNotFound = 127;
const int kNativeNotExecutable = 126;
const int kNativeSoftware = 70;  // EX_SOFTWARE: no row, a fault of the launcher

bool OnWindows() { return platform::ThisSystem() == platform::System::kWindows; }

}  // namespace

int ExitCodeFor(Outcome outcome) {
  for (const ExitCodeRow& row : kExitCodes) {
    if (row.outcome == outcome) return OnWindows() ? row.windows : row.native;
  }
  return OnWindows() ? 1 : kNativeSoftware;
}

int ExitCodeForStartFailure(const platform::ProcessResult& result) {
  if (OnWindows()) return result.systemError != 0 ? static_cast<int>(result.systemError) : kWindowsFileNotFound;
  return result.kind == platform::ProcessResult::kNotExecutable ? kNativeNotExecutable : kNativeNotFound;
}
