#include "payload_unpacker.h"

#include "bzlib.h"
#include "filenode.h"
#include "lm_file.h"
#include "lm_file_stream.h"
#include "payload_format.h"
#include "platform.h"
#include "process.h"

namespace {

LaunchOutcome WriteFailure(const LmFileStream& out) {
  return out.WriteFailedForSpace() ? LaunchOutcome::kDiskFull : LaunchOutcome::kWriteFault;
}

// Writes one file entry from the decompressed stream: exactly `entry.size`
// bytes are taken from it, or the unpacking fails.
LaunchOutcome UnpackFile(BZFILE* reader, const LmString& target, const FILENODE& entry, bool isLaunchTarget,
                         char* buffer) {
  LmFileStream out;
  if (!out.OpenFile(target, 1)) return LaunchOutcome::kWriteFault;
  unsigned char head[4];
  int headLength = 0;
  uint32_t done = 0;
  do {
    uint32_t chunk = entry.size - done < static_cast<uint32_t>(CHUNK_SIZE) ? entry.size - done : CHUNK_SIZE;
    int n = BZ2_bzread(reader, buffer, static_cast<int>(chunk));
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

LaunchOutcome UnpackEntries(BZFILE* reader, const LmString& workingDirectory, const PayloadTable& table,
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
  // Data beyond the table, or a bad checksum at the stream's end.
  if (table.compressedLength > 0 && BZ2_bzread(reader, buffer, CHUNK_SIZE) != 0) return LaunchOutcome::kCorruptData;
  return LaunchOutcome::kUnpacked;
}

}  // namespace

LaunchOutcome UnpackPayload(const LmString& stagingPath, const LmString& workingDirectory, const PayloadTable& table,
                            char* buffer) {
  BZFILE* reader = BZ2_bzopen(platform::NativePath(stagingPath.GetText()).c_str(), "rb");
  if (reader == nullptr) return LaunchOutcome::kWriteFault;
  LaunchOutcome outcome = UnpackEntries(reader, workingDirectory, table, buffer);
  BZ2_bzclose(reader);
  return outcome;
}
