// The launcher with its own operator new (platform/memory.h) and one
// allocation made to fail: LM_FAIL_ALLOCATION=N fails the Nth allocation of
// the run (0: none), and LM_ALLOCATION_COUNT names a file that receives the
// number of allocations the run made. The stub of the end-to-end test that
// fails every allocation in turn.
#include <cstdio>
#include <cstdlib>

#include "launcher/launcher_run.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  platform::SetOwnArguments(argc - 1, argv + 1);
  const char* failAt = getenv("LM_FAIL_ALLOCATION");
  const char* countFile = getenv("LM_ALLOCATION_COUNT");
  const uint64_t start = platform::AllocationCount();
  platform::FailAllocationNumber(failAt != nullptr ? strtoull(failAt, nullptr, 10) : 0);
  const int exitCode = RunLauncher();
  if (countFile != nullptr) {
    FILE* out = platform::OpenFile(countFile, "wb");
    if (out != nullptr) {
      fprintf(out, "%llu\n", static_cast<unsigned long long>(platform::AllocationCount() - start));
      fclose(out);
    }
  }
  return exitCode;
}
