#include "platform/utf8_files.h"

namespace platform {

bool ForEachEntryUtf8(const char* directory, const std::function<void(const char* name)>& visit) {
  return ForEachEntry(directory, visit);
}
EntryInfo GetEntryInfoUtf8(const char* path) { return GetEntryInfo(path); }
FILE* OpenFileUtf8(const char* path, const char* modeText) { return OpenFile(path, modeText); }

}  // namespace platform
