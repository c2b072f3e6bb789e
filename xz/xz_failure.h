// How reading or writing an .xz stream fails, as the layers above report it.
// Messages name the block (counted from 1) where there is one.
#ifndef LM_XZ_XZ_FAILURE_H_
#define LM_XZ_XZ_FAILURE_H_

#include <lzma.h>

#include <cstdint>

#include "util/result.h"

namespace xz {

// kCorruptData: the stream is damaged, truncated, or disagrees with itself;
// "WHAT", or "WHAT in block N" when `block` (from 0) is not negative.
Result Corrupt(const char* what, int block = -1);
// kBadInput: a stream this reader does not take: "unsupported xz WHAT".
Result Unsupported(const char* what, int block = -1);
// kUnreadable: the compressed bytes cannot be read.
Result Unreadable();
// kMemoryLimit: decoding needs `needed` bytes, more than `limit`.
Result MemoryLimit(uint64_t needed, uint64_t limit);
// kNoMemory: liblzma could not allocate.
Result NoMemory();
// The failure for a liblzma result other than LZMA_OK and LZMA_STREAM_END:
// damaged or truncated data, an option this build does not take, or
// memory.
Result LzmaFailure(int ret, int block = -1);

// liblzma's allocator for what decoding allocates: the port's TryAllocate,
// so that a failure counts as memory running out (platform/memory.h).
// What it allocates may be freed by liblzma's default allocator.
const lzma_allocator* DecodingAllocator();

}  // namespace xz

#endif  // LM_XZ_XZ_FAILURE_H_
