// How reading or writing an .xz stream fails, as the layers above report it.
#ifndef LM_XZ_XZ_FAILURE_H_
#define LM_XZ_XZ_FAILURE_H_

#include <string>

#include "util/result.h"

namespace xz {

// kCorruptData: the stream is damaged, truncated, or disagrees with itself.
Result Corrupt(const std::string& what);
// kBadInput: a stream this reader does not take ("unsupported xz WHAT").
Result Unsupported(const std::string& what);
// kUnreadable: the compressed bytes cannot be read.
Result Unreadable();
// kNoMemory: liblzma could not allocate.
Result NoMemory();
// The failure for a liblzma result other than LZMA_OK and LZMA_STREAM_END
// while `doing` ("decoding block 3"): damaged data, an option this build
// does not take, or memory.
Result LzmaFailure(int ret, const std::string& doing);

}  // namespace xz

#endif  // LM_XZ_XZ_FAILURE_H_
