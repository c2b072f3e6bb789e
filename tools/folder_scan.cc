#include "tools/folder_scan.h"

#include "file/walk_tree.h"
#include "payload/filenode.h"
#include "payload/payload_format.h"
#include "platform/platform.h"

namespace {

std::string BareName(const std::string& relative) {
  size_t at = relative.rfind('\\');
  return at == std::string::npos ? relative : relative.substr(at + 1);
}

// Why an entry of the walk cannot be packed; empty when it can.
std::string Refusal(const std::string& relative, const platform::EntryInfo& info) {
  std::string name = BareName(relative);
  if (!payload::IsSafeComponent(name.c_str(), name.size())) {
    return "a name Windows refuses or rewrites (a device name such as CON, one of : * ? \" < > |, a control "
           "character, a trailing dot or space)";
  }
  switch (info.type) {
    case platform::EntryType::kDirectory:
      return std::string();
    case platform::EntryType::kFile:
      return info.size >= (uint64_t{1} << 32) ? "files of 4 GiB or more cannot be packed" : std::string();
    case platform::EntryType::kLink:
      return "symbolic links cannot be packed";
    default:
      return "only directories and regular files can be packed";
  }
}

}  // namespace

bool IsUnder(const std::string& relative, const std::vector<std::string>& directories) {
  for (const std::string& directory : directories) {
    if (relative.compare(0, directory.size() + 1, directory + "\\") == 0) return true;
  }
  return false;
}

std::string ShownPath(const std::string& path) { return platform::NativePath(path.c_str()); }

void ScanFolder(const std::string& folder, std::vector<PackEntry>* entries, ProblemList* problems) {
  std::vector<std::string> refusedDirectories;
  bool walked = WalkTree(
      folder,
      [&](const std::string& relative, const platform::EntryInfo& info) {
        if (IsUnder(relative, refusedDirectories)) return true;
        std::string host = folder + "\\" + relative;
        std::string refusal = Refusal(relative, info);
        if (!refusal.empty()) {
          problems->Add(ShownPath(host), refusal);
          if (info.type == platform::EntryType::kDirectory) refusedDirectories.push_back(relative);
          return true;
        }
        bool isFile = info.type == platform::EntryType::kFile;
        entries->push_back(
            {"\\" + relative, host, isFile ? FILENODE::kFile : FILENODE::kDirectory, isFile ? info.size : 0});
        return true;
      },
      TreeNames::kUtf8);
  if (!walked) problems->Add(ShownPath(folder), "cannot list everything under it");
}
