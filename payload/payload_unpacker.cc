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

Result WriteFault() { return Result::Fail(Outcome::kWriteFault, "an entry cannot be created or written"); }

Result CorruptData() {
  return Result::Fail(Outcome::kCorruptData, "the compressed data is corrupt or does not match the table");
}

Result WriteFailure(const LmFileStream& out) {
  return out.WriteFailedForSpace() ? Result::Fail(Outcome::kDiskFull, "the disk is full") : WriteFault();
}

// Writes one file entry from the decompressed stream: exactly `entry.size`
// bytes are taken from it, or the unpacking fails.
Result UnpackFile(Bzip2Reader* reader, const LmString& target, const FILENODE& entry, bool isLaunchTarget,
                  char* buffer) {
  LmFileStream out;
  if (!out.OpenFile(target, 1)) return WriteFault();
  unsigned char head[4];
  int headLength = 0;
  uint32_t done = 0;
  do {
    uint32_t chunk = entry.size - done < static_cast<uint32_t>(CHUNK_SIZE) ? entry.size - done : CHUNK_SIZE;
    int n = chunk == 0 ? 0 : reader->Read(buffer, static_cast<int>(chunk));
    // Corrupt, or shorter than the table says.
    if (n < 0 || (n == 0 && chunk > 0)) return CorruptData();
    if (out.Write(buffer, n) != n) return WriteFailure(out);
    for (int i = 0; i < n && headLength < 4; ++i) head[headLength++] = static_cast<unsigned char>(buffer[i]);
    done += static_cast<uint32_t>(n);
  } while (done < entry.size);
  if (!out.Close()) return WriteFailure(out);
  if (platform::MarkIfExecutable(target.GetText(), head, headLength, isLaunchTarget) != 0) {
    return WriteFault();
  }
  return Result();
}

Result UnpackEntries(Bzip2Reader* reader, const LmString& workingDirectory, const PayloadTable& table, char* buffer) {
  LmString launchPath = LmString::Concat(LmString("\\"), table.launchName);
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& entry = node->value;
    LmString target = LmString::Concat(workingDirectory, entry.path);
    Result result;
    if (entry.kind == FILENODE::kFile) {
      result = UnpackFile(reader, target, entry, launchPath.Equals(entry.path.GetText()) == 1, buffer);
    } else if (entry.kind == FILENODE::kDirectory && !LmFile(target).MakeDirectory()) {
      result = WriteFault();
    }
    if (!result.ok()) return result;
  }
  // Data beyond the table, a bad checksum at the stream's end, or bytes
  // after the stream. (A payload with no compressed data at all, whose
  // files are all empty, has no stream to check.)
  if (table.compressedLength > 0 && reader->Read(buffer, CHUNK_SIZE) != 0) return CorruptData();
  return Result();
}

}  // namespace

Result UnpackPayload(const LmString& stagingPath, const LmString& workingDirectory, const PayloadTable& table,
                     char* buffer, bzip2::SparePool* spares) {
  bzip2::FileRange staged;
  Bzip2ReaderOptions options;
  options.workers = Bzip2DefaultWorkers();
  options.spares = spares;
  Bzip2Reader reader;
  if (!staged.Open(stagingPath.GetText(), 0, table.compressedLength) || !reader.Open(&staged, options)) {
    return WriteFault();
  }
  return UnpackEntries(&reader, workingDirectory, table, buffer);
}
