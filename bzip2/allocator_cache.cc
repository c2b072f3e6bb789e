#include "allocator_cache.h"

#include <cstdint>
#include <cstdlib>

namespace bzip2 {

namespace {

// Each block is preceded by its size; the header keeps the block aligned
// for any type.
const size_t kHeader = 16;

size_t SizeOf(void* block) { return *reinterpret_cast<size_t*>(static_cast<char*>(block) - kHeader); }

}  // namespace

AllocatorCache::~AllocatorCache() {
  for (void*& slot : slots_) {
    if (slot != nullptr) free(static_cast<char*>(slot) - kHeader);
    slot = nullptr;
  }
}

void* AllocatorCache::Alloc(void* opaque, int items, int size) {
  if (items < 0 || size < 0) return nullptr;
  size_t bytes = static_cast<size_t>(items) * static_cast<size_t>(size);
  if (size != 0 && bytes / static_cast<size_t>(size) != static_cast<size_t>(items)) return nullptr;
  AllocatorCache* cache = static_cast<AllocatorCache*>(opaque);
  for (void*& slot : cache->slots_) {
    if (slot != nullptr && SizeOf(slot) == bytes) {
      void* block = slot;
      slot = nullptr;
      return block;
    }
  }
  if (bytes > SIZE_MAX - kHeader) return nullptr;
  char* raw = static_cast<char*>(malloc(bytes + kHeader));
  if (raw == nullptr) return nullptr;
  *reinterpret_cast<size_t*>(raw) = bytes;
  return raw + kHeader;
}

void AllocatorCache::Free(void* opaque, void* block) {
  if (block == nullptr) return;
  AllocatorCache* cache = static_cast<AllocatorCache*>(opaque);
  // Keep it in a free slot, or in place of the smallest kept block.
  int target = 0;
  for (int i = 0; i < kSlots; ++i) {
    if (cache->slots_[i] == nullptr) {
      target = i;
      break;
    }
    if (SizeOf(cache->slots_[i]) < SizeOf(cache->slots_[target])) target = i;
  }
  void* evicted = cache->slots_[target];
  if (evicted != nullptr && SizeOf(evicted) > SizeOf(block)) {
    free(static_cast<char*>(block) - kHeader);
    return;
  }
  if (evicted != nullptr) free(static_cast<char*>(evicted) - kHeader);
  cache->slots_[target] = block;
}

}  // namespace bzip2
