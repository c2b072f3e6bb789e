// The launcher's whole job, run once by the process entry on the main
// thread: find the payload in the executable's own file, unpack it into a
// fresh working directory under the user's temp directory, start the
// program it names, wait for it, delete the working directory.
//
// The program gets the arguments the payload names and, when the payload
// asks for it, the setup's own (launch_arguments.h); a payload without them
// starts it with none. The launcher reads no environment setting (beyond
// the temp directory the platform reports) or configuration, opens no
// window and logs nothing.
// Nothing is started unless every entry was unpacked completely and the
// compressed data matched the table exactly; every failure after the working
// directory exists removes it again.
#ifndef LM_LAUNCHER_LAUNCHER_RUN_H_
#define LM_LAUNCHER_LAUNCHER_RUN_H_

#include <string>

#include "core/lm_string.h"
#include "launcher/program_start.h"

// The current local time as 14 digits, YYYYMMDDhhmmss.
LmString MakeTimestampName();

// Runs the launcher on its own executable. Returns the process exit code:
// the started program's own, or one of exit_codes.h's codes when the
// launcher failed. An allocation that fails before the program is started
// gives the kNoMemory code, the working directory removed
// (platform/memory.h); one after it leaves the program's exit code as it
// is. Installs the last resort for memory that runs out beyond the reserve.
// `run` starts the program (tests watch the start through it).
int RunLauncher(ProgramRunner run = platform::RunAndWait);

// The same run on the payload of the setup file `ownPath` (empty: none
// readable), starting the program through `run`. The process entry never
// calls it; tests drive a whole run in their own process with it, putting
// answers in place of the system's that their system cannot give.
int RunSetup(const std::string& ownPath, ProgramRunner run);

#endif  // LM_LAUNCHER_LAUNCHER_RUN_H_
