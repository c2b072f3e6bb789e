#include "file/walk_tree.h"

#include <algorithm>
#include <vector>

#include "platform/utf8_files.h"

namespace {

bool WalkBelow(const std::string& root, const std::string& relative,
               const std::function<bool(const std::string&, const platform::EntryInfo&)>& visit, TreeNames kind) {
  std::string directory = relative.empty() ? root : root + "\\" + relative;
  std::vector<std::string> names;
  auto add = [&names](const char* name) { names.emplace_back(name); };
  bool listed = kind == TreeNames::kUtf8 ? platform::ForEachEntryUtf8(directory.c_str(), add)
                                         : platform::ForEachEntry(directory.c_str(), add);
  if (!listed) return false;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = relative.empty() ? name : relative + "\\" + name;
    std::string full = root + "\\" + path;
    platform::EntryInfo info =
        kind == TreeNames::kUtf8 ? platform::GetEntryInfoUtf8(full.c_str()) : platform::GetEntryInfo(full.c_str());
    if (!visit(path, info)) return false;
    if (info.type == platform::EntryType::kDirectory && !WalkBelow(root, path, visit, kind)) return false;
  }
  return true;
}

}  // namespace

bool WalkTree(const std::string& root,
              const std::function<bool(const std::string& relative, const platform::EntryInfo& info)>& visit,
              TreeNames names) {
  return WalkBelow(root, "", visit, names);
}
