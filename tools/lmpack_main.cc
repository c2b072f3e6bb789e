#include "tools/lmpack_main.h"

#include <cstdio>

#include "platform/memory.h"
#include "tools/extract_command.h"
#include "tools/inspect_commands.h"
#include "tools/lmpack_options.h"
#include "tools/pack_command.h"
#include "util/result.h"

namespace {

// lmpack's exit codes, as its usage text gives them.
const int kExitOk = 0;
const int kExitRefused = 1;  // the folder cannot be packed, or the payload is damaged
const int kExitUsage = 2;
const int kExitIo = 3;  // a file could not be read or written

int ExitCodeFor(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return kExitOk;
    case Outcome::kBadInput:
    case Outcome::kCorruptData:
    case Outcome::kMemoryLimit:
      return kExitRefused;
    case Outcome::kUsage:
      return kExitUsage;
    default:
      return kExitIo;
  }
}

// *options outlives the command: the last resort and the check after it
// find the outputs under way through it.
Result Run(int argc, char** argv, LmpackOptions* options) {
  Result result = ParseOptions(argc, argv, options);
  if (!result.ok()) return result;
  if (options->command == "--help") {
    PrintUsage();
    return Result();
  }
  if (options->command == "--version") {
    PrintVersion();
    return Result();
  }
  return options->command == "pack"      ? RunPack(*options)
         : options->command == "list"    ? RunList(*options)
         : options->command == "extract" ? RunExtract(*options)
                                         : RunVerify(*options);
}

// Memory ran out beyond the reserve (platform/memory.h).
void OnMemoryExhausted() {
  RemovePartialSetup();
  RemovePartialExtraction();
  fputs("lmpack: out of memory\n", stderr);
}

}  // namespace

int LmpackMain(int argc, char** argv) {
  platform::SetOutOfMemoryExit(OnMemoryExhausted, ExitCodeFor(Outcome::kNoMemory));
  LmpackOptions options;
  Result result = Run(argc, argv, &options);
  if (result.ok() && platform::MemoryRanOut()) {
    // Memory ran out after the work was done: it is reported as failed, so
    // what it wrote goes too.
    RemovePartialSetup();
    RemovePartialExtraction();
    result = Result::Fail(Outcome::kNoMemory, "out of memory");
  }
  if (!result.ok()) {
    ReportError(result.message());
    if (result.outcome() == Outcome::kUsage) fputs("Try 'lmpack --help'.\n", stderr);
  }
  return ExitCodeFor(result.outcome());
}
