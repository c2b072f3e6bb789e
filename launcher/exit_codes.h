// How a launcher run ends, and the process exit code for each ending.
#ifndef LM_LAUNCHER_EXIT_CODES_H_
#define LM_LAUNCHER_EXIT_CODES_H_

#include "launch_outcome.h"
#include "platform.h"
#include "process.h"

// The exit code for a failure of the launcher itself (not kUnpacked), from
// the column of the system the launcher runs on.
int ExitCodeFor(LaunchOutcome outcome);

// The exit code when the program could not be started: on Windows the
// system's error, natively 126 (found but not executable) or 127, as a
// shell reports them.
int ExitCodeForStartFailure(const platform::ProcessResult& result);

#endif  // LM_LAUNCHER_EXIT_CODES_H_
