// XzStreamIndex: the layout of the one .xz stream that fills a byte range:
// its integrity check, and where each block lies in the compressed bytes
// and in the decoded ones, from the stream's header, footer and index.
//
// The three are checked against each other and against the range before
// any block is decoded: the header and footer must agree, the index must
// decode with its own CRC-32 right, and header, blocks, index and footer
// must fill the range exactly, so that nothing lies before, between or
// after them (stream padding and further streams included). This is what
// lets independent blocks be decoded on several threads, each from its own
// place in the range.
#ifndef LM_XZ_XZ_STREAM_INDEX_H_
#define LM_XZ_XZ_STREAM_INDEX_H_

#include <cstdint>
#include <vector>

#include "util/byte_source.h"
#include "util/result.h"

namespace xz {

struct XzBlock {
  uint64_t offset = 0;        // of the block header, from the range's start
  uint64_t unpaddedSize = 0;  // header, compressed data and check, as the index records it
  uint64_t totalSize = 0;     // with the padding to a multiple of 4
  uint64_t decodedOffset = 0;
  uint64_t decodedSize = 0;
};

class XzStreamIndex {
 public:
  // The most blocks a stream may have. lmpack writes a handful (one per
  // 128 MiB by default, never more than this); every block costs the
  // decoder a header to read, a coder to set up and a file to open, so a
  // stream of more is refused (kBadInput) before its index is decoded.
  static constexpr uint64_t kMaxBlocks = 16384;
  // The longest index read: kMaxBlocks records of the largest sizes fit.
  static constexpr uint64_t kMaxIndexBytes = 1 << 20;

  // Reads the layout of the stream in `source` (its whole range; the
  // position afterwards is unspecified). kCorruptData, saying what is
  // wrong, for anything damaged or inconsistent; kBadInput for an integrity
  // check other than CRC-32 and CRC-64, an index beyond kMaxIndexBytes or
  // more than kMaxBlocks blocks;
  // kUnreadable when the bytes cannot be read; kNoMemory.
  Result Read(util::ByteSource* source);

  // lzma_check: LZMA_CHECK_CRC32 or LZMA_CHECK_CRC64.
  int check() const { return check_; }
  const std::vector<XzBlock>& blocks() const { return blocks_; }
  uint64_t decodedSize() const { return decodedSize_; }

 private:
  int check_ = 0;
  std::vector<XzBlock> blocks_;
  uint64_t decodedSize_ = 0;
};

// Reads exactly `size` bytes at `position` of `source`: kCorruptData when
// the range ends first (the stream says bytes are there that are not),
// kUnreadable when they cannot be read.
Result ReadExactly(util::ByteSource* source, uint64_t position, void* buffer, size_t size);

}  // namespace xz

#endif  // LM_XZ_XZ_STREAM_INDEX_H_
