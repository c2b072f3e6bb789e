// lmpack extract: a setup's files into a directory, without running
// anything, for those who inspect a setup before they run it.
#ifndef LM_TOOLS_EXTRACT_COMMAND_H_
#define LM_TOOLS_EXTRACT_COMMAND_H_

#include "tools/lmpack_options.h"
#include "util/result.h"

// Unpacks every entry of the setup options.input into the directory
// options.output, which must not exist (it is then made) or be empty, by
// exactly the launcher's rules (ExtractPayload: the table's names and
// sizes, the integrity record, the compressed data), so nothing is ever
// written outside it. Names are converted from options.codePage when one is
// given (DecodePayloadPath). On failure everything written is removed
// again (the directory too, when it was made here): kBadInput for a damaged
// or unsafe payload, a name that cannot be converted or a directory that is
// not empty; kCorruptData; kUnreadable when the setup cannot be opened;
// kCannotMake, kWriteFault or kDiskFull when a file cannot be written.
Result RunExtract(const LmpackOptions& options);

// The last resort when memory runs out beyond the reserve: removes what the
// extraction under way has written (as far as the system lets a file that
// is still open be removed).
void RemovePartialExtraction();

#endif  // LM_TOOLS_EXTRACT_COMMAND_H_
