#include "payload_writer.h"

bool PayloadWriter::WriteTable(LmIOStream* out, const LmString& launchName, LmList<FILENODE>* entries,
                               int* lengthPosition) {
  if (!out->WriteString(launchName) || !out->WriteInt(entries->GetCount())) return false;
  for (auto* node = entries->GetHead(); node != nullptr; node = node->next) {
    if (!out->WriteString(node->value.path) || !out->WriteUInt(node->value.kind) ||
        !out->WriteUInt(node->value.size)) {
      return false;
    }
  }
  *lengthPosition = out->Tell();
  return *lengthPosition >= 0 && out->WriteInt(0);
}

bool PayloadWriter::Finish(LmIOStream* out, int lengthPosition, int32_t compressedLength, int32_t payloadOffset) {
  return out->Seek(lengthPosition, 0) && out->WriteInt(compressedLength) && out->Seek(0, 2) &&
         out->WriteInt(payloadOffset) && out->Flush();
}
