// The launcher with its own operator new (platform/memory.h) and one
// allocation made to fail: LM_FAIL_ALLOCATION=N fails the Nth allocation of
// the run (0: none). LM_ALLOCATION_COUNT names a file that receives two
// numbers: the allocations made before the program was started (all of
// them when it was not), and in the whole run. The stub of the end-to-end
// test that fails every allocation in turn.
#include <cstdio>
#include <cstdlib>

#include "launcher/launcher_run.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/process.h"

namespace {

uint64_t start = 0;
uint64_t beforeProgram = 0;

platform::ProcessResult RunAndCount(const char* program, platform::StartMethod method,
                                    const platform::ProgramArguments& arguments) {
  if (beforeProgram == 0) beforeProgram = platform::AllocationCount() - start;
  return platform::RunAndWait(program, method, arguments);
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetOwnArguments(argc - 1, argv + 1);
  const char* failAt = getenv("LM_FAIL_ALLOCATION");
  const char* countFile = getenv("LM_ALLOCATION_COUNT");
  start = platform::AllocationCount();
  platform::FailAllocationNumber(failAt != nullptr ? strtoull(failAt, nullptr, 10) : 0);
  const int exitCode = RunLauncher(RunAndCount);
  const uint64_t total = platform::AllocationCount() - start;
  if (countFile != nullptr) {
    FILE* out = platform::OpenFile(countFile, "wb");
    if (out != nullptr) {
      fprintf(out, "%llu %llu\n", static_cast<unsigned long long>(beforeProgram == 0 ? total : beforeProgram),
              static_cast<unsigned long long>(total));
      fclose(out);
    }
  }
  return exitCode;
}
