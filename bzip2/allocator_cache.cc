#include "bzip2/allocator_cache.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/memory.h"
#include "platform/platform.h"

namespace bzip2 {

namespace {

// Each block is preceded by its size; the header keeps the block aligned
// for any type.
const size_t kHeader = 16;

size_t SizeOf(void* block) { return *reinterpret_cast<size_t*>(static_cast<char*>(block) - kHeader); }

void Release(void* block) { platform::ReleaseAllocation(static_cast<char*>(block) - kHeader); }

}  // namespace

struct SparePool::State {
  platform::Mutex lock;
  size_t limit;
  std::vector<void*> blocks;
};

SparePool::SparePool(int count) : state_(new State) { state_->limit = count > 0 ? static_cast<size_t>(count) : 0; }

SparePool::~SparePool() {
  for (void* block : state_->blocks) Release(block);
  delete state_;
}

void* SparePool::Take(size_t bytes) {
  platform::MutexLock hold(&state_->lock);
  std::vector<void*>& blocks = state_->blocks;
  for (size_t i = 0; i < blocks.size(); ++i) {
    if (SizeOf(blocks[i]) != bytes) continue;
    void* block = blocks[i];
    blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
    return block;
  }
  return nullptr;
}

void SparePool::Give(void* block) {
  platform::MutexLock hold(&state_->lock);
  if (state_->blocks.size() < state_->limit) {
    state_->blocks.push_back(block);
  } else {
    Release(block);
  }
}

AllocatorCache::~AllocatorCache() {
  for (void*& slot : slots_) {
    if (slot != nullptr) {
      if (spares_ != nullptr) {
        spares_->Give(slot);
      } else {
        Release(slot);
      }
    }
    slot = nullptr;
  }
}

void* AllocatorCache::Alloc(void* opaque, int items, int size) noexcept {
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
  if (cache->spares_ != nullptr) {
    if (void* spare = cache->spares_->Take(bytes)) return spare;
  }
  if (bytes > SIZE_MAX - kHeader) return nullptr;
  char* raw = static_cast<char*>(platform::TryAllocate(bytes + kHeader));
  if (raw == nullptr) return nullptr;
  *reinterpret_cast<size_t*>(raw) = bytes;
  return raw + kHeader;
}

void AllocatorCache::Free(void* opaque, void* block) noexcept {
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
