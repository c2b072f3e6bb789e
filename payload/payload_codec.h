// The compressed data of a payload: which format it is in, told from its
// first bytes, and its decoding into a DecodedOutput. The one place that
// chooses between the codecs, for the launcher, lmpack list, verify and
// extract alike.
//
//   "BZh"                 one bzip2 stream (bzip2/)
//   FD 37 7A 58 5A 00     one .xz stream, LZMA2 (xz/)
//   no bytes at all       nothing to decode: every file is empty
// Any other start is a damaged payload.
#ifndef LM_PAYLOAD_PAYLOAD_CODEC_H_
#define LM_PAYLOAD_PAYLOAD_CODEC_H_

#include <cstdint>
#include <string>

#include "util/byte_source.h"
#include "util/decoded_output.h"
#include "util/result.h"

namespace bzip2 {
class SparePool;
}

namespace payload {

enum class Codec { kNone, kBzip2, kXz };

// The codec of the data in `source` (its whole range, read from its start):
// kBadInput for a start neither codec has; kUnreadable.
Result IdentifyCodec(util::ByteSource* source, Codec* codec);

// The most memory the launcher lets a payload's decoding take on any
// machine; lmpack refuses an xz block that needs more for one thread.
const uint64_t kMostDecodeMemory = uint64_t{1} << 30;

// How much memory the launcher lets a payload's decoding take: the smaller
// of kMostDecodeMemory, half this machine's physical memory and half the
// address space this process has left (a 32-bit process has 2 GiB, or
// 4 GiB as a large-address-aware one under 64-bit Windows; the other half
// is left for the program, its libraries and the holes between them).
uint64_t DecodeMemoryLimit();
// The same from the two figures; 0 for either: unknown, not a limit.
uint64_t DecodeMemoryLimitFor(uint64_t physicalMemory, uint64_t addressSpaceLeft);

struct DecodeSettings {
  int workers = 1;
  uint64_t memoryLimit = 0;            // 0: DecodeMemoryLimit()
  bzip2::SparePool* spares = nullptr;  // for fuzzing; not owned
};

// Decodes the data in `source` (not owned; the whole range) into
// `output`, with the codec its first bytes name. Fails as IdentifyCodec
// does, with the codec's failure (kCorruptData, kBadInput for what the
// codec does not take, kMemoryLimit, kUnreadable, kNoMemory) or the
// output's.
Result DecodePayloadData(util::ByteSource* source, const DecodeSettings& settings, DecodedOutput* output);

}  // namespace payload

#endif  // LM_PAYLOAD_PAYLOAD_CODEC_H_
