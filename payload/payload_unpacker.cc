#include "payload/payload_unpacker.h"

#include "bzip2/byte_source.h"
#include "bzip2/bzip2_reader.h"
#include "file/lm_file.h"
#include "file/lm_file_stream.h"
#include "payload/filenode.h"
#include "payload/payload_format.h"
#include "platform/platform.h"
#include "platform/process.h"

namespace {

LaunchOutcome WriteFailure(const LmFileStream& out) {
  return out.WriteFailedForSpace() ? LaunchOutcome::kDiskFull : LaunchOutcome::kWriteFault;
}

// Writes one file entry from the decompressed stream: exactly `entry.size`
// bytes are taken from it, or the unpacking fails.
LaunchOutcome UnpackFile(Bzip2Reader* reader, const LmString& target, const FILENODE& entry, bool isLaunchTarget,
                         char* buffer) {
  LmFileStream out;
  if (!out.OpenFile(target, 1)) return LaunchOutcome::kWriteFault;
  unsigned char head[4];
  int headLength = 0;
  uint32_t done = 0;
  do {
    uint32_t chunk = entry.size - done < static_cast<uint32_t>(CHUNK_SIZE) ? entry.size - done : CHUNK_SIZE;
    int n = chunk == 0 ? 0 : reader->Read(buffer, static_cast<int>(chunk));
    // Corrupt, or shorter than the table says.
    if (n < 0 || (n == 0 && chunk > 0)) return LaunchOutcome::kCorruptData;
    if (out.Write(buffer, n) != n) return WriteFailure(out);
    for (int i = 0; i < n && headLength < 4; ++i) head[headLength++] = static_cast<unsigned char>(buffer[i]);
    done += static_cast<uint32_t>(n);
  } while (done < entry.size);
  if (!out.Close()) return WriteFailure(out);
  if (platform::MarkIfExecutable(target.GetText(), head, headLength, isLaunchTarget) != 0) {
    return LaunchOutcome::kWriteFault;
  }
  return LaunchOutcome::kUnpacked;
}

LaunchOutcome UnpackEntries(Bzip2Reader* reader, const LmString& workingDirectory, const PayloadTable& table,
                            char* buffer) {
  LmString launchPath = LmString::Concat(LmString("\\"), table.launchName);
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& entry = node->value;
    LmString target = LmString::Concat(workingDirectory, entry.path);
    LaunchOutcome outcome = LaunchOutcome::kUnpacked;
    if (entry.kind == FILENODE::kFile) {
      outcome = UnpackFile(reader, target, entry, launchPath.Equals(entry.path.GetText()) == 1, buffer);
    } else if (entry.kind == FILENODE::kDirectory && !LmFile(target).MakeDirectory()) {
      outcome = LaunchOutcome::kWriteFault;
    }
    if (outcome != LaunchOutcome::kUnpacked) return outcome;
  }
  // Data beyond the table, a bad checksum at the stream's end, or bytes
  // after the stream. (A payload with no compressed data at all, whose
  // files are all empty, has no stream to check.)
  if (table.compressedLength > 0 && reader->Read(buffer, CHUNK_SIZE) != 0) return LaunchOutcome::kCorruptData;
  return LaunchOutcome::kUnpacked;
}

}  // namespace

LaunchOutcome UnpackPayload(const LmString& stagingPath, const LmString& workingDirectory, const PayloadTable& table,
                            char* buffer, bzip2::SparePool* spares) {
  bzip2::FileRange staged;
  Bzip2ReaderOptions options;
  options.workers = Bzip2DefaultWorkers();
  options.spares = spares;
  Bzip2Reader reader;
  if (!staged.Open(stagingPath.GetText(), 0, table.compressedLength) || !reader.Open(&staged, options)) {
    return LaunchOutcome::kWriteFault;
  }
  return UnpackEntries(&reader, workingDirectory, table, buffer);
}
