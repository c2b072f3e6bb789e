// The operator new and delete of lmsetup and lmpack: every form allocates
// through AllocateOrReserve, which never fails (platform/memory.h), so that
// no allocation throws. Defined here, they also keep libstdc++'s throwing
// versions, and with them the exception machinery, out of the programs.
#include <cstddef>
#include <new>

#include "platform/memory.h"

void* operator new(std::size_t size) { return platform::AllocateOrReserve(size); }
void* operator new[](std::size_t size) { return platform::AllocateOrReserve(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return platform::AllocateOrReserve(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return platform::AllocateOrReserve(size); }
void operator delete(void* block) noexcept { platform::ReleaseAllocation(block); }
void operator delete[](void* block) noexcept { platform::ReleaseAllocation(block); }
void operator delete(void* block, std::size_t) noexcept { platform::ReleaseAllocation(block); }
void operator delete[](void* block, std::size_t) noexcept { platform::ReleaseAllocation(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { platform::ReleaseAllocation(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { platform::ReleaseAllocation(block); }
