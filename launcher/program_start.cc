#include "launcher/program_start.h"

#include <string.h>

bool IsInstallerPackage(const char* name) {
  size_t n = strlen(name);
  if (n < 4) return false;
  const char* extension = name + n - 4;
  const char* expected = ".msi";
  for (int i = 0; i < 4; ++i) {
    char c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != expected[i]) return false;
  }
  return true;
}

platform::StartMethod StartMethodFor(const char* program) {
  return IsInstallerPackage(program) ? platform::StartMethod::kInstallerPackage : platform::StartMethod::kDirect;
}

platform::ProcessResult StartProgram(const char* program, const platform::ProgramArguments& arguments,
                                     ProgramRunner run) {
  platform::ProcessResult result = run(program, StartMethodFor(program), arguments);
  if (result.kind == platform::ProcessResult::kElevationRequired) {
    result = run(program, platform::StartMethod::kShell, arguments);
  }
  return result;
}
