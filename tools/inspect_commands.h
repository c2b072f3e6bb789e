// lmpack list and lmpack verify: reading setup executables back.
#ifndef LM_TOOLS_INSPECT_COMMANDS_H_
#define LM_TOOLS_INSPECT_COMMANDS_H_

#include "lmpack_options.h"

// Prints the launch name, payload offset, compressed length and table of
// options.input. kRefused for a damaged or missing payload, kIo when the
// file cannot be opened.
ExitStatus RunList(const LmpackOptions& options);

// Checks what RunList checks, then decompresses the whole payload in bounded
// memory: it must be exactly one bzip2 stream, filling the table's files to
// the byte. Writes nothing.
ExitStatus RunVerify(const LmpackOptions& options);

#endif  // LM_TOOLS_INSPECT_COMMANDS_H_
