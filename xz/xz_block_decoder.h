// XzBlockDecoder: decodes one block of an .xz stream whose layout
// XzStreamIndex has read, from its own reader of the compressed bytes.
//
// A block is taken only with the filters lmpack writes: LZMA2 alone, or
// the x86 branch filter before LZMA2. Its header must agree with the index
// (sizes it states are compared), and the decoder checks that the block
// decodes to exactly the index's size, that its padding is zero and that
// its check (CRC-32 or CRC-64) matches. Bytes go out as they are decoded,
// before the check at the block's end: act on them only once Decode has
// returned success.
//
// One thread uses a decoder. It keeps liblzma's state, the dictionary
// included, from block to block, so that a worker that decodes several
// blocks with the same dictionary size allocates it once.
#ifndef LM_XZ_XZ_BLOCK_DECODER_H_
#define LM_XZ_XZ_BLOCK_DECODER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "util/byte_source.h"
#include "util/decoded_output.h"
#include "util/result.h"
#include "xz/xz_stream_index.h"

namespace xz {

// What a block's header says.
struct XzBlockFilters {
  uint32_t dictionary = 0;  // LZMA2's dictionary size in bytes
  bool x86 = false;         // the x86 branch filter comes first
  uint64_t memory = 0;      // what liblzma needs to decode it
};

class XzBlockDecoder {
 public:
  // Input and output buffers a decoder holds besides liblzma's state.
  static constexpr size_t kBufferBytes = (64 + 256) << 10;

  XzBlockDecoder();
  ~XzBlockDecoder();
  XzBlockDecoder(const XzBlockDecoder&) = delete;
  XzBlockDecoder& operator=(const XzBlockDecoder&) = delete;

  // Reads the header of `block` (number `number`, for messages) from
  // `source`. Fails as Decode does for a damaged or unsupported header.
  static Result Inspect(util::ByteSource* source, const XzBlock& block, int check, int number, XzBlockFilters* filters);

  // Decodes `block` from `source` as run `number` of `output`, its bytes in
  // order. Stops with the output's failure, or as soon as *firstFailed (the
  // lowest block that has failed) is below `number`: the result is then a
  // failure that the caller ignores. kCorruptData for
  // damaged or truncated data, a wrong check or sizes that disagree;
  // kBadInput for a filter or option this reader does not take;
  // kUnreadable; kNoMemory.
  Result Decode(util::ByteSource* source, const XzBlock& block, int check, int number, DecodedOutput* output,
                const std::atomic<size_t>* firstFailed);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace xz

#endif  // LM_XZ_XZ_BLOCK_DECODER_H_
