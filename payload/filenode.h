// FILENODE: one entry of a payload's table. A value: copying it copies the
// path string.
#ifndef LM_PAYLOAD_FILENODE_H_
#define LM_PAYLOAD_FILENODE_H_

#include <cstdint>

#include "core/lm_string.h"

struct FILENODE {
  static constexpr uint32_t kFile = 1;
  static constexpr uint32_t kDirectory = 2;

  LmString path;  // relative to the working directory, begins with "\"
  uint32_t kind;  // kFile, kDirectory; other values are ignored
  uint32_t size;  // a file's size in bytes; 0 for a directory
};

#endif  // LM_PAYLOAD_FILENODE_H_
