// lmpack with its own operator new (platform/memory.h) and one allocation
// made to fail: LM_FAIL_ALLOCATION=N fails the Nth allocation of the run
// (0: none). LM_ALLOCATION_COUNT names a file that receives the number of
// allocations the run made. The program of the test that fails every
// allocation of a pack and an extraction in turn.
#include <cstdio>
#include <cstdlib>

#include "platform/memory.h"
#include "platform/platform.h"
#include "tools/lmpack_main.h"

int main(int argc, char** argv) {
  const char* failAt = getenv("LM_FAIL_ALLOCATION");
  const char* countFile = getenv("LM_ALLOCATION_COUNT");
  const uint64_t start = platform::AllocationCount();
  platform::FailAllocationNumber(failAt != nullptr ? strtoull(failAt, nullptr, 10) : 0);
  const int exitCode = LmpackMain(argc, argv);
  const uint64_t total = platform::AllocationCount() - start;
  if (countFile != nullptr) {
    FILE* out = platform::OpenFile(countFile, "wb");
    if (out != nullptr) {
      fprintf(out, "%llu\n", static_cast<unsigned long long>(total));
      fclose(out);
    }
  }
  return exitCode;
}
