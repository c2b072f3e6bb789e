// lmpack list and lmpack verify: reading setup executables back.
#ifndef LM_TOOLS_INSPECT_COMMANDS_H_
#define LM_TOOLS_INSPECT_COMMANDS_H_

#include "core/lm_list.h"
#include "payload/filenode.h"
#include "tools/lmpack_options.h"
#include "util/result.h"

// The files and directories among `entries`: what list, verify, extract and
// pack count as a setup's entries. A launcher creates nothing for an entry
// of another kind (the launch arguments record's among them).
int CountEntries(const LmList<FILENODE>& entries);

// Prints the launch name, payload offset, compressed length, integrity
// record and table of options.input. The record is shown as matching, wrong
// (with what is wrong) or none; a wrong one is reported, not refused, so
// that the table can still be seen. Entries of other kinds than file and
// directory are listed as "other" and counted apart. kBadInput for a
// damaged or missing payload, kUnreadable when the file cannot be opened.
Result RunList(const LmpackOptions& options);

// Checks what RunList checks and that an integrity record matches, then
// decompresses the whole payload in bounded memory: it must be exactly one
// bzip2 stream, filling the table's files to the byte (kBadInput when it is
// not). Writes nothing.
Result RunVerify(const LmpackOptions& options);

#endif  // LM_TOOLS_INSPECT_COMMANDS_H_
