// Keeps the large arrays libbz2 allocates for every stream (up to 3.6 MB for
// decoding, 7.5 MB for encoding at level 9) for the next stream of the same
// thread, instead of returning them to the system block after block.
// Install Alloc and Free as a bz_stream's bzalloc and bzfree, with the cache
// as opaque. Not thread-safe: one cache per thread.
#ifndef LM_BZIP2_ALLOCATOR_CACHE_H_
#define LM_BZIP2_ALLOCATOR_CACHE_H_

#include <cstddef>

namespace bzip2 {

// libbz2's arrays handed on between the caches of many short streams, so
// that each stream does not map, poison and unmap megabytes anew: fuzzing
// and tests open thousands. Locked; holds at most `count` arrays, which it
// frees when it goes. It must outlive every cache that uses it.
class SparePool {
 public:
  explicit SparePool(int count);
  ~SparePool();
  SparePool(const SparePool&) = delete;
  SparePool& operator=(const SparePool&) = delete;

  void* Take(size_t bytes);  // null when none of that size is kept
  void Give(void* block);    // kept, or freed when the pool is full

 private:
  struct State;
  State* state_;
};

class AllocatorCache {
 public:
  // A cache's arrays go to `spares` when it goes, and come from there
  // before they are allocated; null frees them.
  explicit AllocatorCache(SparePool* spares = nullptr) : spares_(spares) {}
  ~AllocatorCache();
  AllocatorCache(const AllocatorCache&) = delete;
  AllocatorCache& operator=(const AllocatorCache&) = delete;

  // libbz2 calls these from C frames built without unwind tables: nothing
  // may be thrown through them, so neither throws (a failed allocation is a
  // null result, which libbz2 reports as BZ_MEM_ERROR).
  static void* Alloc(void* cache, int items, int size) noexcept;
  static void Free(void* cache, void* block) noexcept;

 private:
  static const int kSlots = 4;
  SparePool* spares_;
  void* slots_[kSlots] = {nullptr, nullptr, nullptr, nullptr};
};

}  // namespace bzip2

#endif  // LM_BZIP2_ALLOCATOR_CACHE_H_
