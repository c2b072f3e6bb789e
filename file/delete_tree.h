// DeleteTree: removes a file or a directory with everything inside it.
#ifndef LM_FILE_DELETE_TREE_H_
#define LM_FILE_DELETE_TREE_H_

#include "file/lm_file.h"

// Deletes what `entry` stands for with everything inside it, one level at a
// time in the order the platform lists each directory, and releases it: the
// caller hands over one reference. Links (symbolic links, junctions, other
// reparse points) are removed as links, never followed. A read-only file is
// made writable and deleted. Every result is ignored: what cannot be deleted
// stays, and so do the directories above it. The depth of recursion is the
// depth of the tree.
void DeleteTree(LmFile* entry);

#endif  // LM_FILE_DELETE_TREE_H_
