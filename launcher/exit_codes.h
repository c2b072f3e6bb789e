// How a launcher run ends, and the process exit code for each ending.
#ifndef LM_LAUNCHER_EXIT_CODES_H_
#define LM_LAUNCHER_EXIT_CODES_H_

#include "platform/platform.h"
#include "platform/process.h"

// What the launcher's own work came to. kUnpacked: every entry is on disk
// and the program may be started; every other value is a failure.
enum class LaunchOutcome {
  kUnpacked,
  kOwnFileUnreadable,  // its own executable cannot be opened
  kBadPayload,         // missing, damaged or unsafe payload
  kCannotMake,         // no temp directory; working directory or staging file not made
  kWriteFault,         // an unpacked file or the staging copy could not be written
  kDiskFull,           // ... because the disk is full
  kCorruptData,        // the compressed data does not decompress to the table
  kNoMemory,           // the run ended by an exception: out of memory (or another resource)
};

// The exit code for a failure of the launcher itself (not kUnpacked), from
// the column of the system the launcher runs on.
int ExitCodeFor(LaunchOutcome outcome);

// The exit code when the program could not be started: on Windows the
// system's error, natively 126 (found but not executable) or 127, as a
// shell reports them.
int ExitCodeForStartFailure(const platform::ProcessResult& result);

#endif  // LM_LAUNCHER_EXIT_CODES_H_
