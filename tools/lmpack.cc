// lmpack: turns a folder into one setup executable (a launcher with the
// folder appended as its payload), and lists, verifies or extracts such
// executables.
#include "tools/extract_command.h"
#include "tools/inspect_commands.h"
#include "tools/lmpack_options.h"
#include "tools/pack_command.h"

int main(int argc, char** argv) {
  LmpackOptions options;
  switch (ParseOptions(argc, argv, &options)) {
    case ParseResult::kDone:
      return static_cast<int>(ExitStatus::kOk);
    case ParseResult::kBadUsage:
      return static_cast<int>(ExitStatus::kUsage);
    case ParseResult::kRun:
      break;
  }
  ExitStatus status = options.command == "pack"      ? RunPack(options)
                      : options.command == "list"    ? RunList(options)
                      : options.command == "extract" ? RunExtract(options)
                                                     : RunVerify(options);
  return static_cast<int>(status);
}
