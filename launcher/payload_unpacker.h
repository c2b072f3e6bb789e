// Creates a payload's entries from its staged compressed data.
#ifndef LM_LAUNCHER_PAYLOAD_UNPACKER_H_
#define LM_LAUNCHER_PAYLOAD_UNPACKER_H_

#include "exit_codes.h"
#include "lm_string.h"
#include "payload_reader.h"

// Creates every entry of `table`, in table order, under `workingDirectory`
// from the bzip2 stream in the file `stagingPath`, through `buffer` (at
// least CHUNK_SIZE bytes). kUnpacked only when every file got exactly its
// size in bytes and the stream ended exactly with the table, its checksums
// matching. Otherwise the failure; what was created stays for the caller to
// remove.
LaunchOutcome UnpackPayload(const LmString& stagingPath, const LmString& workingDirectory, const PayloadTable& table,
                            char* buffer);

#endif  // LM_LAUNCHER_PAYLOAD_UNPACKER_H_
