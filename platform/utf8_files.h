// Files named by UTF-8 text, for tools that read folders whose names lie
// outside the ANSI code page (lmpack). Paths use '\' as separator.
//
// POSIX: the same calls as platform.h; names are bytes, taken as UTF-8.
// Windows: the wide calls, with names converted from and to UTF-8, so that
// every name the file system holds can be listed and read. A name that is
// not valid UTF-8 names nothing.
#ifndef LM_PLATFORM_UTF8_FILES_H_
#define LM_PLATFORM_UTF8_FILES_H_

#include <cstdio>
#include <functional>

#include "platform/platform.h"

namespace platform {

// As ForEachEntry, GetEntryInfo and OpenFile, on UTF-8 names.
bool ForEachEntryUtf8(const char* directory, const std::function<void(const char* name)>& visit);
EntryInfo GetEntryInfoUtf8(const char* path);
FILE* OpenFileUtf8(const char* path, const char* modeText);

}  // namespace platform

#endif  // LM_PLATFORM_UTF8_FILES_H_
