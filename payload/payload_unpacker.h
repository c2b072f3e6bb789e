// Creates a payload's entries from its staged compressed data.
#ifndef LM_PAYLOAD_PAYLOAD_UNPACKER_H_
#define LM_PAYLOAD_PAYLOAD_UNPACKER_H_

#include <cstdint>

#include "core/lm_string.h"
#include "payload/payload_reader.h"
#include "util/result.h"

namespace bzip2 {
class SparePool;
}

// Creates every entry of `table` under `workingDirectory` from the
// compressed data in the file `stagingPath` (payload_codec.h tells its
// codec), on util::DefaultWorkers() threads (TableOutput). Success only when
// every file got exactly its size in bytes and the data ended exactly with
// the table, its checks matching. Otherwise the failure: kCorruptData;
// kBadInput for data neither codec reads or takes; kMemoryLimit;
// kWriteFault (an entry cannot be created or written; also when the staged
// data cannot be opened or read back); kDiskFull; kNoMemory. What was created stays for
// the caller to remove. For fuzzing: `spares` (not owned, may be null)
// keeps libbz2's arrays between runs, and `memoryLimit` (0: the machine's,
// DecodeMemoryLimit) bounds what decoding may take.
Result UnpackPayload(const LmString& stagingPath, const LmString& workingDirectory, const PayloadTable& table,
                     bzip2::SparePool* spares = nullptr, uint64_t memoryLimit = 0);

#endif  // LM_PAYLOAD_PAYLOAD_UNPACKER_H_
