// How a launcher run ends, and the process exit code for each ending.
#ifndef LM_LAUNCHER_EXIT_CODES_H_
#define LM_LAUNCHER_EXIT_CODES_H_

#include "platform/platform.h"
#include "platform/process.h"
#include "util/result.h"

// The exit code for a failure of the launcher's own work (not kOk), from
// the column of the system the launcher runs on: kUnreadable, its own
// executable cannot be opened; kBadInput, a missing, damaged or unsafe
// payload; kCannotMake, no temp directory, or the working directory or the
// staging file not made; kWriteFault or kDiskFull, an unpacked file or the
// staging copy not written; kCorruptData, the compressed data does not
// decompress to the table; kNoMemory, an allocation failed
// (platform/memory.h); kMemoryLimit, the payload needs more memory to
// decode than this machine allows, refused before it was used;
// kCommandTooLong, the program's command line with the arguments the setup
// was given would be longer than Windows takes (ERROR_FILENAME_EXCED_RANGE,
// what CreateProcess itself answers to such a line); kBadArguments, the
// setup's own arguments hold what a batch file's command interpreter would
// read as commands; kUntranslatable, the payload's arguments have no
// UTF-16 form.
int ExitCodeFor(Outcome outcome);

// The exit code when the program could not be started: on Windows the
// system's error, natively 126 (found but not executable) or 127, as a
// shell reports them.
int ExitCodeForStartFailure(const platform::ProcessResult& result);

#endif  // LM_LAUNCHER_EXIT_CODES_H_
