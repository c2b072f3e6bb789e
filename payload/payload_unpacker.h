// Creates a payload's entries from its staged compressed data.
#ifndef LM_PAYLOAD_PAYLOAD_UNPACKER_H_
#define LM_PAYLOAD_PAYLOAD_UNPACKER_H_

#include "core/lm_string.h"
#include "payload/payload_reader.h"
#include "util/result.h"

namespace bzip2 {
class SparePool;
}
// Creates every entry of `table`, in table order, under `workingDirectory`
// from the bzip2 stream in the file `stagingPath`, through `buffer` (at
// least CHUNK_SIZE bytes). Success only when every file got exactly its
// size in bytes and the stream ended exactly with the table, its checksums
// matching. Otherwise the failure: kCorruptData, kWriteFault (an entry
// cannot be created or written; also when the staged data cannot be
// opened), kDiskFull; what was created stays for the caller to remove. `spares` (not owned, may be null) keeps libbz2's
// arrays between runs, for fuzzing.
Result UnpackPayload(const LmString& stagingPath, const LmString& workingDirectory, const PayloadTable& table,
                     char* buffer, bzip2::SparePool* spares = nullptr);

#endif  // LM_PAYLOAD_PAYLOAD_UNPACKER_H_
