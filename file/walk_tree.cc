#include "walk_tree.h"

#include <algorithm>
#include <vector>

namespace {

bool WalkBelow(const std::string& root, const std::string& relative,
               const std::function<bool(const std::string&, const platform::EntryInfo&)>& visit) {
  std::string directory = relative.empty() ? root : root + "\\" + relative;
  std::vector<std::string> names;
  if (!platform::ForEachEntry(directory.c_str(), [&](const char* name) { names.emplace_back(name); })) return false;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = relative.empty() ? name : relative + "\\" + name;
    platform::EntryInfo info = platform::GetEntryInfo((root + "\\" + path).c_str());
    if (!visit(path, info)) return false;
    if (info.type == platform::EntryType::kDirectory && !WalkBelow(root, path, visit)) return false;
  }
  return true;
}

}  // namespace

bool WalkTree(const std::string& root,
              const std::function<bool(const std::string& relative, const platform::EntryInfo& info)>& visit) {
  return WalkBelow(root, "", visit);
}
