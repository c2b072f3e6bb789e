// XzStreamWriter: the frame of an .xz stream around blocks encoded by
// EncodeXzBlock: the stream header, then the blocks as the caller writes
// them, then the index of the blocks and the stream footer. CRC-64 checks.
#ifndef LM_XZ_XZ_STREAM_WRITER_H_
#define LM_XZ_XZ_STREAM_WRITER_H_

#include <cstdint>
#include <string>

#include "util/result.h"

struct lzma_index_s;  // liblzma's index

namespace xz {

class XzStreamWriter {
 public:
  XzStreamWriter();
  ~XzStreamWriter();
  XzStreamWriter(const XzStreamWriter&) = delete;
  XzStreamWriter& operator=(const XzStreamWriter&) = delete;

  // The 12 bytes that open the stream.
  static std::string Header();
  // Records the next block, as EncodeXzBlock described it. kNoMemory, or
  // kBadInput when the stream would grow beyond the format's limits.
  Result AddBlock(uint64_t unpaddedSize, uint64_t decodedSize);
  // The index and the footer that end the stream, appended to *tail.
  Result Finish(std::string* tail);

 private:
  lzma_index_s* index_;
};

}  // namespace xz

#endif  // LM_XZ_XZ_STREAM_WRITER_H_
