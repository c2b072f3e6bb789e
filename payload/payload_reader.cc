#include "payload/payload_reader.h"

#include "payload/payload_format.h"
#include "pe/pe_certificate_table.h"

namespace {

// Signing pads the file to a multiple of 8 bytes before the certificate table.
const int kMaxPadding = 7;

void UpdateWithInt(Crc32* crc, int32_t value) {
  unsigned char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(static_cast<uint32_t>(value) >> (8 * i));
  crc->Update(bytes, sizeof(bytes));
}

Result Bad(const std::string& what) { return Result::Fail(Outcome::kBadInput, what); }
Result Bad(const char* subject, const std::string& what) { return Bad(std::string(subject) + ": " + what); }

// Reads from the current position up to `end` (the trailer's position),
// adding every byte read to `crc`.
class BoundedReader {
 public:
  BoundedReader(LmFileStream* stream, int64_t position, int64_t end, Crc32* crc)
      : stream_(stream), position_(position), end_(end), crc_(crc) {}

  int64_t position() const { return position_; }
  int64_t remaining() const { return end_ - position_; }

  bool ReadInt(int32_t* value) {
    if (remaining() < 4) return false;
    *value = stream_->ReadInt();
    position_ += 4;
    UpdateWithInt(crc_, *value);
    return stream_->GetErrorCode() == 0;
  }

  // A NUL-terminated string of at most kMaxStringLength bytes. Reads at most
  // kMaxStringLength + 1 bytes, so a damaged file costs bounded time.
  // `what` names the string in the message of a failure.
  Result ReadString(const char* what, LmString* value) {
    char text[payload::kMaxStringLength + 1];
    int64_t limit = remaining() < static_cast<int64_t>(sizeof(text)) ? remaining() : sizeof(text);
    for (int i = 0; i < limit; ++i) {
      if (stream_->Read(&text[i], 1) != 1) return Bad(what, "the file cannot be read");
      ++position_;
      crc_->Update(&text[i], 1);
      if (text[i] == '\0') {
        value->AssignBytes(text, i);
        return Result();
      }
    }
    return Bad(what, limit == static_cast<int64_t>(sizeof(text)) ? "a string is longer than 259 bytes"
                                                                 : "a string runs past the end of the payload");
  }

 private:
  LmFileStream* stream_;
  int64_t position_;
  int64_t end_;
  Crc32* crc_;
};

// Reads `count` entry records into the table: each checked against the
// ones before it, the launch arguments record last.
Result ReadEntries(BoundedReader* reader, int32_t count, PayloadTable* table) {
  payload::PayloadTableChecker checker;
  table->entries.RemoveAll();
  table->unpackedSize = 0;
  table->arguments = payload::LaunchArguments();
  for (int32_t i = 0; i < count; ++i) {
    FILENODE entry{LmString(), 0, 0};
    Result result = reader->ReadString("entry path", &entry.path);
    if (!result.ok()) return result;
    int32_t kind, size;
    if (!reader->ReadInt(&kind) || !reader->ReadInt(&size)) {
      return Bad("an entry record runs past the end of the payload");
    }
    entry.kind = static_cast<uint32_t>(kind);
    entry.size = static_cast<uint32_t>(size);
    result = checker.Add(entry);
    if (!result.ok()) return result;
    payload::LaunchArguments& arguments = table->arguments;
    if (entry.kind == payload::kArgumentsKind) {
      const uint32_t known = arguments.present ? 0 : payload::kKnownArgumentsFlags;
      if ((entry.size & ~known) != 0) return Bad("the launch arguments have unknown flags");
      if (!arguments.present) arguments.flags = entry.size;
      arguments.present = true;
      arguments.fixed.append(entry.path.GetText(), static_cast<size_t>(entry.path.GetLength()));
    } else if (arguments.present) {
      return Bad("entries follow the launch arguments");
    }
    if (entry.kind == FILENODE::kFile) table->unpackedSize += entry.size;
    table->entries.AddTail(entry);
  }
  Result result = checker.CheckLaunchName(table->launchName);
  if (!result.ok()) return result;
  if (payload::ArgumentsProblem(table->arguments.fixed) != nullptr) return Bad("the launch arguments are damaged");
  return Result();
}

// Reads the payload whose last byte stands just before `end`: the trailer,
// then the launch name, the table and the compressed length, which must end
// exactly where the trailer begins.
Result ReadPayloadEndingAt(LmFileStream* own, int64_t end, PayloadTable* table) {
  if (end < payload::kTrailerSize || !own->Seek(static_cast<int>(end) - payload::kTrailerSize, 0)) {
    return Bad("the file is shorter than a payload trailer");
  }
  int trailerPosition = static_cast<int>(end) - payload::kTrailerSize;
  int32_t offset = own->ReadInt();
  if (own->GetErrorCode() != 0) return Bad("the trailer cannot be read");
  // The smallest payload: a 1-byte launch name and its NUL, the count, the length.
  if (offset < 0 || static_cast<int64_t>(offset) + 10 > trailerPosition) {
    return Bad("no payload: the trailer does not point into the file");
  }
  if (!own->Seek(offset, 0)) return Bad("the payload offset cannot be reached");
  table->payloadOffset = offset;
  table->trailerOffset = trailerPosition;

  table->tableCrc = Crc32();
  BoundedReader reader(own, offset, trailerPosition, &table->tableCrc);
  Result result = reader.ReadString("launch name", &table->launchName);
  if (!result.ok()) return result;
  int32_t count;
  if (!reader.ReadInt(&count)) return Bad("the entry count runs past the end of the payload");
  if (count < 0) count = 0;
  // Every record and the compressed length must fit in what remains.
  if (static_cast<int64_t>(count) * payload::kMinRecordSize > reader.remaining() - 4) {
    return Bad("the entry count does not fit in the payload");
  }
  result = ReadEntries(&reader, count, table);
  if (!result.ok()) return result;
  int32_t length;
  if (!reader.ReadInt(&length)) return Bad("the compressed length runs past the end of the payload");
  if (length < 0 || length != reader.remaining()) {
    return Bad("the compressed length does not match the payload's size");
  }
  table->compressedLength = length;
  table->dataOffset = static_cast<int32_t>(reader.position());
  return Result();
}

// A signed file: the payload ends before the certificate table at
// `tableOffset`, behind 0 to 7 zero bytes of padding. A trailer may itself
// end in zero bytes, so every padding length whose bytes are all zero is
// tried, and exactly one must give a payload that validates. The first
// payload that validates is read into `table`, any later one elsewhere.
Result ReadPayloadBefore(LmFileStream* own, int64_t tableOffset, PayloadTable* table) {
  const int maxPadding = tableOffset < kMaxPadding ? static_cast<int>(tableOffset) : kMaxPadding;
  char tail[kMaxPadding];
  if (!own->Seek(static_cast<int>(tableOffset) - maxPadding, 0) || own->Read(tail, maxPadding) != maxPadding) {
    return Bad("the bytes before the certificate table cannot be read");
  }
  int matches = 0;
  Result first;
  PayloadTable other;
  for (int padding = 0; padding <= maxPadding; ++padding) {
    if (padding > 0 && tail[maxPadding - padding] != '\0') break;
    PayloadTable* into = matches == 0 ? table : &other;
    Result result = ReadPayloadEndingAt(own, tableOffset - padding, into);
    if (result.ok()) {
      ++matches;
    } else if (padding == 0) {
      first = result;
    }
  }
  if (matches == 0) return Bad("no payload ends before the certificate table: " + first.message());
  if (matches > 1) return Bad("more than one payload ends before the certificate table");
  table->certificateTableOffset = static_cast<int32_t>(tableOffset);
  if (!own->Seek(table->dataOffset, 0)) return Bad("the compressed data cannot be reached");
  return Result();
}

// Reads what stands in the record's place in front of the payload, then
// returns to the compressed data.
Result ReadIntegrityRecord(LmFileStream* own, PayloadTable* table) {
  const int size =
      table->payloadOffset < payload::IntegrityRecord::kSize ? table->payloadOffset : payload::IntegrityRecord::kSize;
  char bytes[payload::IntegrityRecord::kSize];
  if (!own->Seek(table->payloadOffset - size, 0) || own->Read(bytes, size) != size) {
    return Bad("the bytes in front of the payload cannot be read");
  }
  table->record = payload::IntegrityRecord::Decode(bytes, size);
  if (!own->Seek(table->dataOffset, 0)) return Bad("the compressed data cannot be reached");
  return Result();
}

Result ReadPayload(LmFileStream* own, PayloadTable* table) {
  if (!own->Seek(0, 2)) return Bad("the file's size cannot be read");
  // Tell gives -1 from 2 GiB on, which the trailer's signed 32-bit offsets
  // cannot reach: such a file is refused, never read at a wrapped offset.
  const int fileSize = own->Tell();
  if (fileSize < 0) return Bad("the file is 2 GiB or larger, or its size cannot be read");
  table->certificateTableOffset = 0;
  pe::PeCertificateTable certificates = pe::PeCertificateTable::Find(own, fileSize);
  switch (certificates.status()) {
    case pe::PeCertificateTable::Status::kNone:
      return ReadPayloadEndingAt(own, fileSize, table);
    case pe::PeCertificateTable::Status::kFound:
      return ReadPayloadBefore(own, certificates.offset(), table);
    case pe::PeCertificateTable::Status::kDamaged:
      break;
  }
  return Bad(certificates.problem());
}

Result StagingFailure(const LmFileStream& staging) {
  return staging.WriteFailedForSpace() ? Result::Fail(Outcome::kDiskFull, "the disk is full")
                                       : Result::Fail(Outcome::kWriteFault, "the staging file cannot be written");
}

}  // namespace

Result PayloadReader::ReadTable(LmFileStream* own, PayloadTable* table) {
  table->record = payload::IntegrityRecord();
  Result result = ReadPayload(own, table);
  return result.ok() ? ReadIntegrityRecord(own, table) : result;
}

Result PayloadReader::CopyCompressed(LmFileStream* own, LmFileStream* staging, const PayloadTable& table, char* buffer,
                                     uint32_t* payloadCrc) {
  const int32_t length = table.compressedLength;
  int32_t copied = 0;
  Crc32 crc = table.tableCrc;
  Result result;
  do {
    int32_t chunk = length - copied < CHUNK_SIZE ? length - copied : CHUNK_SIZE;
    int n = own->Read(buffer, chunk);
    if (n < 0 || (n == 0 && chunk > 0)) {
      result = Bad("the compressed data ends early");
      break;
    }
    crc.Update(buffer, static_cast<size_t>(n));
    if (staging != nullptr && staging->Write(buffer, n) != n) {
      result = StagingFailure(*staging);
      break;
    }
    copied += n;
  } while (copied < length);
  // The trailer, right behind the data, holds the payload's offset.
  UpdateWithInt(&crc, table.payloadOffset);
  *payloadCrc = crc.value();
  if (staging != nullptr && !staging->Close() && result.ok()) result = StagingFailure(*staging);
  own->Close();
  return result;
}
