#include "payload_writer.h"

#include "payload_format.h"

bool PayloadWriter::WriteTable(LmIOStream* out, const LmString& launchName, const LmList<FILENODE>& entries,
                               int* lengthPosition) {
  int32_t count = 0;
  for (auto* node = entries.GetHead(); node != nullptr; node = node->next) ++count;
  if (!out->WriteString(launchName) || !out->WriteInt(count)) return false;
  for (auto* node = entries.GetHead(); node != nullptr; node = node->next) {
    if (!out->WriteString(node->value.path) || !out->WriteUInt(node->value.kind) ||
        !out->WriteUInt(node->value.size)) {
      return false;
    }
  }
  *lengthPosition = out->Tell();
  return *lengthPosition >= 0 && out->WriteInt(0);
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
  int64_t unpadded = imageSize + tableSize + compressedLength + payload::kTrailerSize;
  return static_cast<int>((8 - unpadded % 8) % 8);
}
