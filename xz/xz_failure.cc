#include "xz/xz_failure.h"

#include <lzma.h>

#include <cstdarg>
#include <cstdint>

#include "platform/memory.h"
#include "platform/platform.h"

namespace xz {

namespace {

// Through the port's formatter, which is msvcrt's on Windows: the C++
// headers would otherwise link MinGW's own into the launcher.
Result Fail(Outcome outcome, const char* format, ...) {
  char text[160];
  va_list args;
  va_start(args, format);
  platform::FormatText(text, sizeof(text), format, args);
  va_end(args);
  return Result::Fail(outcome, text);
}

Result Fail(Outcome outcome, const char* prefix, const char* what, int block) {
  return Fail(outcome, block < 0 ? "%s%s" : "%s%s in block %d", prefix, what, block + 1);
}

unsigned Mebibytes(uint64_t bytes) { return static_cast<unsigned>((bytes + (1 << 20) - 1) >> 20); }

}  // namespace

Result Corrupt(const char* what, int block) { return Fail(Outcome::kCorruptData, "", what, block); }

Result Unsupported(const char* what, int block) { return Fail(Outcome::kBadInput, "unsupported xz ", what, block); }

Result Unreadable() { return Result::Fail(Outcome::kUnreadable, "the compressed data cannot be read"); }

Result MemoryLimit(uint64_t needed, uint64_t limit) {
  return Fail(Outcome::kMemoryLimit, "decoding needs %u MiB, more than the %u MiB this machine allows",
              Mebibytes(needed), Mebibytes(limit));
}

Result NoMemory() { return Result::Fail(Outcome::kNoMemory, "out of memory"); }

Result LzmaFailure(int ret, int block) {
  switch (ret) {
    case LZMA_MEM_ERROR:
      return NoMemory();
    case LZMA_OPTIONS_ERROR:
      return Unsupported("options", block);
    case LZMA_BUF_ERROR:
      return Corrupt("the xz data ends early", block);
    default:
      return Corrupt("the xz data is damaged", block);
  }
}

namespace {

void* Allocate(void*, size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return platform::TryAllocate(count * size);
}

void Free(void*, void* block) { platform::ReleaseAllocation(block); }

const lzma_allocator kDecodingAllocator = {Allocate, Free, nullptr};

}  // namespace

const lzma_allocator* DecodingAllocator() { return &kDecodingAllocator; }

}  // namespace xz
