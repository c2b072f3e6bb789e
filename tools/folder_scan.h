// What lmpack packs: the directories and regular files under a folder.
#ifndef LM_TOOLS_FOLDER_SCAN_H_
#define LM_TOOLS_FOLDER_SCAN_H_

#include <cstdint>
#include <string>
#include <vector>

struct PackEntry {
  std::string relative;  // the path in the payload as UTF-8 text, beginning with '\'
  std::string host;      // the path on this machine, UTF-8 (utf8_files.h)
  uint32_t kind;         // FILENODE::kFile or kDirectory
  uint64_t size;         // a file's size
};

// Lists everything under `folder` (UTF-8 text) depth first (each directory before what
// it holds, names in byte order), so that the same folder always gives the
// same table. Refuses, with the reason in *problem naming the entry, names
// the payload cannot carry, links, special files and files of 4 GiB or
// more. False when anything is refused or cannot be listed.
bool ScanFolder(const std::string& folder, std::vector<PackEntry>* entries, std::string* problem);

#endif  // LM_TOOLS_FOLDER_SCAN_H_
