#include "file/delete_tree.h"

#include "core/lm_list.h"
#include "platform/platform.h"

void DeleteTree(LmFile* entry) {
  LmString path = entry->GetPath();
  if (platform::GetEntryInfo(path.GetText()).type == platform::EntryType::kLink) {
    platform::RemoveLink(path.GetText());
    entry->Release();
    return;
  }
  LmList<LmFile*> children;
  entry->ListFiles(&children);
  for (auto* node = children.GetHead(); node != nullptr; node = node->next) {
    LmFile* child = node->value;
    LmString path = child->GetPath();
    platform::EntryType type = platform::GetEntryInfo(path.GetText()).type;
    if (type == platform::EntryType::kLink) {
      platform::RemoveLink(path.GetText());
      child->Release();
    } else if (type == platform::EntryType::kDirectory) {
      DeleteTree(child);
    } else {
      if (!child->Delete() && child->Exists()) {
        child->SetWritable(1);
        child->Delete();
      }
      child->Release();
    }
  }
  if (!entry->Delete() && entry->Exists() && !entry->IsDirectory()) {
    entry->SetWritable(1);
    entry->Delete();
  }
  entry->Release();
}
