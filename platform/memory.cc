#include "platform/memory.h"

#include <atomic>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

namespace {

// Big enough for what the programs allocate between the first failure and
// the next point that asks MemoryRanOut(): the buffers of the blocks in
// flight (a bzip2 block takes a ring of 1 MiB and up to 0.9 MiB of input,
// on up to 8 workers; the decoders take no new block once memory ran out),
// the cleanup's paths and listings. In zero-initialised data, it takes no
// room in the file and no memory until touched.
const size_t kReserveBytes = 16 << 20;
// What malloc guarantees: room for any standard type.
const size_t kAlignment = 16;

alignas(kAlignment) unsigned char reserve[kReserveBytes];
std::atomic<size_t> reserveUsed{0};
std::atomic<bool> ranOut{false};
std::atomic<uint64_t> allocations{0};
std::atomic<uint64_t> failAt{0};
std::atomic<void (*)()> lastResort{nullptr};
std::atomic<int> lastResortCode{1};
std::atomic<bool> ending{false};
std::atomic<uint64_t> endingThread{0};

bool InReserve(const void* block) {
  const unsigned char* p = static_cast<const unsigned char*>(block);
  return p >= reserve && p < reserve + kReserveBytes;
}

void* FromHeap(size_t size) {
  const uint64_t number = allocations.fetch_add(1) + 1;
  if (number == failAt.load(std::memory_order_relaxed)) return nullptr;
  return malloc(size == 0 ? 1 : size);
}

void* FromReserve(size_t size) {
  const size_t rounded = (size + kAlignment - 1) & ~(kAlignment - 1);
  if (rounded < size) return nullptr;
  size_t used = reserveUsed.load();
  do {
    if (rounded > kReserveBytes - used) return nullptr;
  } while (!reserveUsed.compare_exchange_weak(used, used + rounded));
  return reserve + used;
}

}  // namespace

void* AllocateOrReserve(size_t size) {
  void* block = FromHeap(size);
  if (block != nullptr) return block;
  ranOut.store(true);
  block = FromReserve(size);
  if (block != nullptr) return block;
  MemoryExhausted();
}

void MemoryExhausted() {
  ranOut.store(true);
  const uint64_t self = CurrentThreadId();
  if (!ending.exchange(true)) {
    endingThread.store(self);
    void (*handler)() = lastResort.load();
    if (handler != nullptr) handler();
    EndProcessNow(lastResortCode.load());
  }
  // The handler's own allocation failed: it ends here. Any other thread
  // waits for the handler to end the process, so as not to cut its
  // cleanup short.
  if (endingThread.load() == self) EndProcessNow(lastResortCode.load());
  for (;;) SleepMs(1000);
}

void ReleaseAllocation(void* block) {
  if (block != nullptr && !InReserve(block)) free(block);
}

void* TryAllocate(size_t size) {
  void* block = FromHeap(size);
  if (block == nullptr) ranOut.store(true);
  return block;
}

bool MemoryRanOut() { return ranOut.load(); }

void SetOutOfMemoryExit(void (*handler)(), int exitCode) {
  lastResortCode.store(exitCode);
  lastResort.store(handler);
}

void FailAllocationNumber(uint64_t number) { failAt.store(number == 0 ? 0 : allocations.load() + number); }

uint64_t AllocationCount() { return allocations.load(); }

}  // namespace platform
