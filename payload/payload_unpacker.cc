#include "payload/payload_unpacker.h"

#include "payload/payload_codec.h"
#include "payload/table_output.h"
#include "util/byte_source.h"
#include "util/worker_pool.h"

Result UnpackPayload(const LmString& stagingPath, const LmString& workingDirectory, const PayloadTable& table,
                     bzip2::SparePool* spares, uint64_t memoryLimit) {
  // The staged copy is the launcher's own temporary file: not opening or
  // not reading it back are one failure, of the staging.
  const Result stagingFailure = Result::Fail(Outcome::kWriteFault, "the staged data cannot be read");
  util::FileRange staged;
  if (!staged.Open(stagingPath.GetText(), 0, table.compressedLength)) return stagingFailure;
  payload::DecodeSettings settings;
  settings.workers = util::DefaultWorkers();
  settings.spares = spares;
  settings.memoryLimit = memoryLimit;
  TableOutput output(workingDirectory, table);
  const Result result = payload::DecodePayloadData(&staged, settings, &output);
  return result.outcome() == Outcome::kUnreadable ? stagingFailure : result;
}
