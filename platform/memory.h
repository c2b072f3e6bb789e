// What lmsetup and lmpack do when memory runs out. They are built without
// C++ exceptions (on Windows, to keep the unwinder and its tables out of
// the launcher every setup carries), so an allocation that fails cannot
// unwind. Instead it is served from a reserve, a fixed block that needs no
// allocation, and the process is marked: from then on MemoryRanOut() is
// true, the code goes on as if nothing happened, and each program ends its
// work at the next point that asks (the unpacked output refuses to write,
// the launcher starts nothing, lmpack writes no setup) with its
// out-of-memory code, through its ordinary cleanup. Only when the reserve
// cannot serve either does the program's last-resort handler run
// (SetOutOfMemoryExit).
//
// The programs' operator new (program_new.cc, linked into lmsetup and
// lmpack only) allocates through AllocateOrReserve; the decoders' C
// libraries through TryAllocate. Tests and the libraries linked into them
// keep the standard operator new, which throws std::bad_alloc.
//
// Every function may be called from any thread.
#ifndef LM_PLATFORM_MEMORY_H_
#define LM_PLATFORM_MEMORY_H_

#include <cstddef>
#include <cstdint>

namespace platform {

// `size` bytes aligned for any standard type: from the heap, else from the
// reserve (MemoryRanOut() is then true). Never null: when neither can serve,
// the last-resort handler runs and the process ends. Released with
// ReleaseAllocation.
void* AllocateOrReserve(size_t size);
// Gives back what AllocateOrReserve or TryAllocate returned (null: nothing).
// Pieces of the reserve are not reused.
void ReleaseAllocation(void* block);
// `size` bytes from the heap, or null (MemoryRanOut() is then true): for
// allocators whose callers handle failure themselves, such as libbz2's and
// liblzma's.
void* TryAllocate(size_t size);

// True once an allocation has failed in this process.
bool MemoryRanOut();

// Runs when an allocation fails and the reserve cannot serve it: the
// program's last word, best effort (its own allocations may fail), after
// which the process ends with `exitCode` (EndProcessNow). A failure of the
// handler's own ends the process at once with that code; another thread
// that fails meanwhile waits for the end. Without a handler the process
// ends with exit code 1. Set once, at the start of main.
void SetOutOfMemoryExit(void (*handler)(), int exitCode);

// Runs the last-resort handler and ends the process with its code: for a
// request no allocation can serve (a size beyond what the library's
// containers hold, say).
[[noreturn]] void MemoryExhausted();

// Ends the process at once with `exitCode`: no destructors, no atexit
// handlers, no flushing of C streams (another thread may hold their locks),
// other threads stopped where they stand.
[[noreturn]] void EndProcessNow(int exitCode);

// For tests: the `number`th allocation from now on (counting both
// AllocateOrReserve and TryAllocate, from 1) fails as if the heap were
// exhausted; 0 fails none. AllocationCount() is how many were made so far.
void FailAllocationNumber(uint64_t number);
uint64_t AllocationCount();

}  // namespace platform

#endif  // LM_PLATFORM_MEMORY_H_
