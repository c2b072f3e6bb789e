#include "allocator_cache.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace bzip2 {

namespace {

// Each block is preceded by its size; the header keeps the block aligned
// for any type.
const size_t kHeader = 16;

size_t SizeOf(void* block) { return *reinterpret_cast<size_t*>(static_cast<char*>(block) - kHeader); }

void Release(void* block) { free(static_cast<char*>(block) - kHeader); }

// The process-wide pool of ShareSparesForTesting.
struct SharedSpares {
  std::mutex lock;
  size_t limit = 0;
  std::vector<void*> blocks;
};

SharedSpares& Spares() {
  static SharedSpares* spares = new SharedSpares;  // never destroyed: caches may outlive statics
  return *spares;
}

void* TakeSpare(size_t bytes) {
  SharedSpares& spares = Spares();
  std::lock_guard<std::mutex> hold(spares.lock);
  for (size_t i = 0; i < spares.blocks.size(); ++i) {
    if (SizeOf(spares.blocks[i]) != bytes) continue;
    void* block = spares.blocks[i];
    spares.blocks.erase(spares.blocks.begin() + static_cast<std::ptrdiff_t>(i));
    return block;
  }
  return nullptr;
}

void GiveSpare(void* block) {
  SharedSpares& spares = Spares();
  std::lock_guard<std::mutex> hold(spares.lock);
  if (spares.blocks.size() < spares.limit) {
    spares.blocks.push_back(block);
  } else {
    Release(block);
  }
}

}  // namespace

AllocatorCache::~AllocatorCache() {
  for (void*& slot : slots_) {
    if (slot != nullptr) GiveSpare(slot);
    slot = nullptr;
  }
}

void AllocatorCache::ShareSparesForTesting(int count) {
  SharedSpares& spares = Spares();
  std::lock_guard<std::mutex> hold(spares.lock);
  spares.limit = count > 0 ? static_cast<size_t>(count) : 0;
  while (spares.blocks.size() > spares.limit) {
    Release(spares.blocks.back());
    spares.blocks.pop_back();
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
  if (void* spare = TakeSpare(bytes)) return spare;
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
    Release(block);
    return;
  }
  if (evicted != nullptr) Release(evicted);
  cache->slots_[target] = block;
}

}  // namespace bzip2
