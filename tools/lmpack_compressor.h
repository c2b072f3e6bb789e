// lmpack's compression step: the contents of every file of the table, in
// table order, as one bzip2 stream or one .xz stream (options.codec) in a
// file of its own.
#ifndef LM_TOOLS_LMPACK_COMPRESSOR_H_
#define LM_TOOLS_LMPACK_COMPRESSOR_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/folder_scan.h"
#include "tools/lmpack_options.h"
#include "tools/xz_block_plan.h"
#include "util/result.h"

// Compresses the file entries' contents at options.level into a new file
// `dataPath`, its length in *compressedLength. `contents[i]` tells
// what entries[i] holds (OrderForXz; only xz reads it). kBadInput when the data
// would reach `limit` bytes (what the rest of the setup leaves of its
// 2 GiB) or the options give a stream no launcher decodes, kUnreadable
// when a file cannot be read or changed while it was read, kCannotMake or
// kWriteFault when the output cannot be written. Shows progress on a
// terminal unless options.quiet.
Result CompressFiles(const LmpackOptions& options, const std::vector<PackEntry>& entries,
                     const std::vector<BlockContent>& contents, uint64_t limit, const std::string& dataPath,
                     int64_t* compressedLength);

#endif  // LM_TOOLS_LMPACK_COMPRESSOR_H_
