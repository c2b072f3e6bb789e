// Encoding .xz blocks for lmpack: each block on its own, so that blocks can
// be encoded on several threads and decoded so again, and joined into one
// stream by XzStreamWriter in the order they were planned.
#ifndef LM_XZ_XZ_BLOCK_ENCODER_H_
#define LM_XZ_XZ_BLOCK_ENCODER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "util/result.h"

namespace xz {

struct XzBlockSettings {
  int level = 9;            // LZMA2 preset, 1 to 9
  bool extreme = false;     // the preset's slower variant, a little smaller
  uint32_t dictionary = 0;  // bytes; 0: the preset's
  bool x86 = false;         // the x86 branch filter before LZMA2
};

// The dictionary a block of `size` bytes is encoded with, always a size
// LZMA2 stores exactly (2^n or 3 * 2^(n-1) bytes, from 4 KiB): settings'
// (or the preset's) rounded down to one, or the smallest that holds the
// whole block when that is less, so that the decoder, which allocates the
// stored size, allocates no more than the block needs.
uint32_t BlockDictionary(const XzBlockSettings& settings, uint64_t size);

// Memory liblzma needs to encode a block of `size` bytes with `settings`.
uint64_t BlockEncoderMemory(const XzBlockSettings& settings, uint64_t size);
// The most bytes a block of `size` bytes may take encoded.
uint64_t EncodedBlockBound(uint64_t size);
// Memory one launcher thread needs to decode such a block: liblzma's for
// the stored dictionary and XzBlockDecoder's buffers.
uint64_t BlockDecoderMemory(const XzBlockSettings& settings, uint64_t size);

// Gives up to `size` bytes of the block's input at `buffer`; *got = 0 only
// at the input's end.
using XzBlockInput = std::function<Result(char* buffer, size_t size, size_t* got)>;

// Encodes exactly `size` bytes from `input` as one block: a header that
// states both sizes and the filters, the LZMA2 data, padding and a CRC-64
// of the input; appended to *out. *unpaddedSize is what the index records
// for it. Fails with `input`'s failure, kUnreadable when the input ends
// before `size` bytes, kNoMemory, or kBadInput for settings liblzma
// refuses.
Result EncodeXzBlock(const XzBlockSettings& settings, uint64_t size, const XzBlockInput& input, std::string* out,
                     uint64_t* unpaddedSize);

}  // namespace xz

#endif  // LM_XZ_XZ_BLOCK_ENCODER_H_
