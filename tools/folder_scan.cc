#include "tools/folder_scan.h"

#include "file/walk_tree.h"
#include "payload/filenode.h"
#include "payload/payload_format.h"

namespace {

std::string BareName(const std::string& relative) {
  size_t at = relative.rfind('\\');
  return at == std::string::npos ? relative : relative.substr(at + 1);
}

// Accepts one entry of the walk, or says why it cannot be packed.
bool Accept(const std::string& host, const std::string& relative, const platform::EntryInfo& info,
            std::vector<PackEntry>* entries, std::string* problem) {
  std::string name = BareName(relative);
  if (!payload::IsSafeComponent(name.c_str(), name.size())) {
    *problem = host + ": the name cannot be carried in a setup executable";
    return false;
  }
  switch (info.type) {
    case platform::EntryType::kDirectory:
      entries->push_back({"\\" + relative, host, FILENODE::kDirectory, 0});
      return true;
    case platform::EntryType::kFile:
      if (info.size >= (uint64_t{1} << 32)) {
        *problem = host + ": files of 4 GiB or more cannot be packed";
        return false;
      }
      entries->push_back({"\\" + relative, host, FILENODE::kFile, info.size});
      return true;
    case platform::EntryType::kLink:
      *problem = host + ": symbolic links cannot be packed";
      return false;
    default:
      *problem = host + ": only directories and regular files can be packed";
      return false;
  }
}

}  // namespace

bool ScanFolder(const std::string& folder, std::vector<PackEntry>* entries, std::string* problem) {
  problem->clear();
  bool walked = WalkTree(
      folder,
      [&](const std::string& relative, const platform::EntryInfo& info) {
        return Accept(folder + "\\" + relative, relative, info, entries, problem);
      },
      TreeNames::kUtf8);
  if (!walked && problem->empty()) *problem = "cannot list everything under " + folder;
  return walked;
}
