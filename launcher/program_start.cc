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

platform::ProcessResult StartProgram(const char* program, ProgramRunner run) {
  platform::StartMethod method =
      IsInstallerPackage(program) ? platform::StartMethod::kInstallerPackage : platform::StartMethod::kDirect;
  platform::ProcessResult result = run(program, method);
  if (result.kind == platform::ProcessResult::kElevationRequired) {
    result = run(program, platform::StartMethod::kShell);
  }
  return result;
}
