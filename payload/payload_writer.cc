#include "payload/payload_writer.h"

#include <vector>

#include "payload/integrity_record.h"
#include "payload/payload_format.h"
#include "xz/crc32.h"

namespace {

const int kCopyChunk = 1 << 18;

void AppendInt(uint32_t value, std::string* out) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

void AppendString(const LmString& text, std::string* out) {
  if (text.GetLength() > 0) out->append(text.GetText(), static_cast<size_t>(text.GetLength()));
  out->push_back('\0');
}

bool WriteAll(LmIOStream* out, const std::string& bytes) {
  return out->Write(bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
}

// Copies exactly `length` bytes from `data` to `out`, adding them to `crc`.
bool CopyData(LmIOStream* data, LmIOStream* out, int32_t length, Crc32* crc) {
  std::vector<char> buffer(kCopyChunk);
  for (int32_t copied = 0; copied < length;) {
    int chunk = length - copied < kCopyChunk ? length - copied : kCopyChunk;
    int n = data->Read(buffer.data(), chunk);
    if (n <= 0 || out->Write(buffer.data(), n) != n) return false;
    crc->Update(buffer.data(), static_cast<size_t>(n));
    copied += n;
  }
  return true;
}

}  // namespace

bool PayloadWriter::WritePayload(LmIOStream* out, const LmString& launchName, const LmList<FILENODE>& entries,
                                 LmIOStream* data, int32_t compressedLength) {
  const int recordPosition = out->Tell();
  if (recordPosition < 0) return false;
  const int32_t payloadOffset = recordPosition + payload::IntegrityRecord::kSize;
  std::string table = EncodeTable(launchName, entries, compressedLength);
  std::string trailer;
  AppendInt(static_cast<uint32_t>(payloadOffset), &trailer);
  Crc32 crc;
  crc.Update(table.data(), table.size());
  if (!WriteAll(out, std::string(payload::IntegrityRecord::kSize, '\0')) || !WriteAll(out, table) ||
      !CopyData(data, out, compressedLength, &crc) || !WriteAll(out, trailer)) {
    return false;
  }
  crc.Update(trailer.data(), trailer.size());
  const uint32_t covered = static_cast<uint32_t>(table.size() + compressedLength + trailer.size());
  return out->Seek(recordPosition, 0) && WriteAll(out, payload::IntegrityRecord(covered, crc.value()).Encode()) &&
         out->Seek(0, 2) && out->Flush();
}

std::string PayloadWriter::EncodeTable(const LmString& launchName, const LmList<FILENODE>& entries,
                                       int32_t compressedLength) {
  std::string bytes;
  AppendString(launchName, &bytes);
  uint32_t count = 0;
  for (auto* node = entries.GetHead(); node != nullptr; node = node->next) ++count;
  AppendInt(count, &bytes);
  for (auto* node = entries.GetHead(); node != nullptr; node = node->next) {
    AppendString(node->value.path, &bytes);
    AppendInt(node->value.kind, &bytes);
    AppendInt(node->value.size, &bytes);
  }
  AppendInt(static_cast<uint32_t>(compressedLength), &bytes);
  return bytes;
}

bool PayloadWriter::WriteTable(LmIOStream* out, const LmString& launchName, const LmList<FILENODE>& entries,
                               int* lengthPosition) {
  const int start = out->Tell();
  std::string table = EncodeTable(launchName, entries, 0);
  if (start < 0 || !WriteAll(out, table)) return false;
  *lengthPosition = start + static_cast<int>(table.size()) - 4;
  return true;
}

int64_t PayloadWriter::TableSize(const LmString& launchName, const LmList<FILENODE>& entries) {
  int64_t size = launchName.GetLength() + 1 + 4;
  for (auto* node = entries.GetHead(); node != nullptr; node = node->next) size += node->value.path.GetLength() + 1 + 8;
  return size + 4;
}

bool PayloadWriter::Finish(LmIOStream* out, int lengthPosition, int32_t compressedLength, int32_t payloadOffset) {
  return out->Seek(lengthPosition, 0) && out->WriteInt(compressedLength) && out->Seek(0, 2) &&
         out->WriteInt(payloadOffset) && out->Flush();
}

int PayloadWriter::PaddingForSigning(int64_t imageSize, int64_t tableSize, int64_t compressedLength) {
  int64_t unpadded = imageSize + payload::IntegrityRecord::kSize + tableSize + compressedLength + payload::kTrailerSize;
  return static_cast<int>((8 - unpadded % 8) % 8);
}

void PayloadWriter::AppendLaunchArguments(const payload::LaunchArguments& arguments, LmList<FILENODE>* entries) {
  size_t at = 0;
  do {
    const std::string piece = arguments.fixed.substr(at, payload::kMaxStringLength);
    const uint32_t flags = at == 0 ? arguments.flags : 0;
    entries->AddTail(FILENODE{LmString(piece.c_str()), payload::kArgumentsKind, flags});
    at += piece.size();
  } while (at < arguments.fixed.size());
}
