// Keeps the large arrays libbz2 allocates for every stream (up to 3.6 MB for
// decoding, 7.5 MB for encoding at level 9) for the next stream of the same
// thread, instead of returning them to the system block after block.
// Install Alloc and Free as a bz_stream's bzalloc and bzfree, with the cache
// as opaque. Not thread-safe: one cache per thread.
#ifndef LM_BZIP2_ALLOCATOR_CACHE_H_
#define LM_BZIP2_ALLOCATOR_CACHE_H_

#include <cstddef>

namespace bzip2 {

class AllocatorCache {
 public:
  AllocatorCache() = default;
  ~AllocatorCache();
  AllocatorCache(const AllocatorCache&) = delete;
  AllocatorCache& operator=(const AllocatorCache&) = delete;

  static void* Alloc(void* cache, int items, int size);
  static void Free(void* cache, void* block);

  // For fuzzing and tests that open thousands of short streams: from now on
  // caches hand up to `count` arrays to one process-wide pool when they go,
  // and take from it before allocating, so that each stream does not map,
  // poison and unmap megabytes anew. 0 (the default) frees them. The pool
  // is locked; the arrays are libbz2's own, never the project's buffers.
  static void ShareSparesForTesting(int count);

 private:
  static const int kSlots = 4;
  void* slots_[kSlots] = {nullptr, nullptr, nullptr, nullptr};
};

}  // namespace bzip2

#endif  // LM_BZIP2_ALLOCATOR_CACHE_H_
