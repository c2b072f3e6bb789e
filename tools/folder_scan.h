// What lmpack packs: the directories and regular files under a folder.
#ifndef LM_TOOLS_FOLDER_SCAN_H_
#define LM_TOOLS_FOLDER_SCAN_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/problem_list.h"

struct PackEntry {
  std::string relative;  // the path in the payload as UTF-8 text, beginning with '\'
  std::string host;      // the path on this machine, UTF-8 (utf8_files.h)
  uint32_t kind;         // FILENODE::kFile or kDirectory
  uint64_t size;         // a file's size
};

// Lists everything under `folder` (UTF-8 text) depth first (each directory
// before what it holds, names in byte order), so that the same folder always
// gives the same table. Names the payload cannot carry, links, special files
// and files of 4 GiB or more go to *problems instead, each named by its path
// (ShownPath); what a refused directory holds is left out unreported. A
// folder that cannot be listed completely is a problem too.
void ScanFolder(const std::string& folder, std::vector<PackEntry>* entries, ProblemList* problems);

// Whether `relative` lies inside one of `directories` (paths relative to
// the same folder, components joined by '\\').
bool IsUnder(const std::string& relative, const std::vector<std::string>& directories);

// `path` (components joined by '\') as this system writes paths, for
// messages.
std::string ShownPath(const std::string& path);

#endif  // LM_TOOLS_FOLDER_SCAN_H_
