// What an .xz stream holds, read from its layout and block headers without
// decoding a block: for the decoder, to bound memory before it is used,
// and for lmpack list.
#ifndef LM_XZ_XZ_STREAM_INFO_H_
#define LM_XZ_XZ_STREAM_INFO_H_

#include <cstdint>

#include "util/byte_source.h"
#include "util/result.h"
#include "xz/xz_stream_index.h"

namespace xz {

struct XzStreamInfo {
  int blocks = 0;
  int x86Blocks = 0;          // blocks with the x86 branch filter
  uint32_t dictionary = 0;    // the largest block's dictionary
  uint64_t workerMemory = 0;  // what one worker needs for the largest block
  uint64_t decodedSize = 0;
  const char* check = "";  // "CRC-32" or "CRC-64"
  int workers = 0;         // workers DecodeXz ran
};

// Reads the layout of the stream in `source` into *index and every block
// header into *info: fails as DecodeXz does for anything damaged or
// unsupported there.
Result ReadXzLayout(util::ByteSource* source, XzStreamIndex* index, XzStreamInfo* info);

}  // namespace xz

#endif  // LM_XZ_XZ_STREAM_INFO_H_
