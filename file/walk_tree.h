// WalkTree: the one recursive directory walk of the project, for the packer
// and the test programs.
#ifndef LM_FILE_WALK_TREE_H_
#define LM_FILE_WALK_TREE_H_

#include <functional>
#include <string>

#include "platform/platform.h"

// Visits every entry below `root`, depth first: each directory before what
// it holds, names in byte order within a directory, so that a walk of the
// same tree is the same on every system. `visit` gets the path relative to
// `root` (components joined by '\') and the entry as it is on disk (links
// are not followed and not entered). When `visit` returns false the walk
// stops at once. True when every directory was listed and `visit` never
// returned false. With TreeNames::kUtf8 the root and the names are UTF-8
// text (utf8_files.h), so that a tool can walk names outside the ANSI code
// page on Windows.
enum class TreeNames { kAnsi, kUtf8 };
bool WalkTree(const std::string& root,
              const std::function<bool(const std::string& relative, const platform::EntryInfo& info)>& visit,
              TreeNames names = TreeNames::kAnsi);

#endif  // LM_FILE_WALK_TREE_H_
