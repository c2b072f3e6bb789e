// lmpack pack: turns a folder into one setup executable.
#ifndef LM_TOOLS_PACK_COMMAND_H_
#define LM_TOOLS_PACK_COMMAND_H_

#include "tools/lmpack_options.h"
#include "util/result.h"

// Writes options.output: the launcher, then the payload of options.input
// with options.run as its launch name. For the Windows target the payload is
// placed so that the file's length is a multiple of 8, so that a signer
// appends its certificate table with no padding. The whole folder is
// checked first: every entry it cannot pack and a launch name it cannot
// start are written to stderr, one line each, and the result is kBadInput
// counting them. Other failures: kUsage (no launcher found), kBadInput (a
// signed launcher, no folder), kUnreadable, kCannotMake, kWriteFault. On
// failure nothing is left at options.output.
Result RunPack(const LmpackOptions& options);

// The last resort when memory runs out beyond the reserve: removes what the
// pack under way has written (as far as the system lets a file that is still
// open be removed).
void RemovePartialSetup();

#endif  // LM_TOOLS_PACK_COMMAND_H_
