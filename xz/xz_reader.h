// Decoding the one .xz stream that fills a byte range, into a
// DecodedOutput, with its blocks shared among worker threads.
//
// The stream's layout is read first (XzStreamIndex) and every block header
// inspected; only then is anything decoded. Each block is decoded from its
// own reader of the range (ByteSource::OpenAnother) and written as one run
// of the output, at its place in the decoded stream, so the bytes never
// pass through a queue: memory is each worker's liblzma state (the block's
// dictionary, no more than the block needs when lmpack wrote it) and
// buffers, whatever the size of the stream.
//
// Memory is bounded before it is used: when the largest block needs more
// than options.memoryLimit to decode, the stream is refused with
// kMemoryLimit and nothing is allocated for decoding; otherwise as many
// workers run as the limit, the blocks and options.workers allow.
#ifndef LM_XZ_XZ_READER_H_
#define LM_XZ_XZ_READER_H_

#include <cstdint>
#include <string>

#include "util/byte_source.h"
#include "util/decoded_output.h"
#include "util/result.h"
#include "xz/xz_stream_info.h"

namespace xz {

struct XzDecodeOptions {
  int workers = 1;
  uint64_t memoryLimit = uint64_t{1} << 30;
};

// Decodes the stream in `source` (not owned) into `output`: success once
// every block decoded to its size with its check right, the output took
// everything and Finish succeeded. Otherwise the failure of the lowest
// block that failed, or the output's: kCorruptData for damaged or
// inconsistent data; kBadInput for a stream this reader does not take
// (another filter or check); kMemoryLimit when a block needs more memory
// than options.memoryLimit; kUnreadable; kNoMemory. *info (may be null)
// describes the stream.
Result DecodeXz(util::ByteSource* source, const XzDecodeOptions& options, DecodedOutput* output,
                XzStreamInfo* info = nullptr);

}  // namespace xz

#endif  // LM_XZ_XZ_READER_H_
