// How the launcher starts the program a payload names.
#ifndef LM_LAUNCHER_PROGRAM_START_H_
#define LM_LAUNCHER_PROGRAM_START_H_

#include "platform/process.h"

// Starts a program one way and waits for it: platform::RunAndWait, or a
// stand-in that tests put in its place.
typedef platform::ProcessResult (*ProgramRunner)(const char* program, platform::StartMethod method,
                                                 const platform::ProgramArguments& arguments);

// Whether the launch name is a Windows Installer package (ends in ".msi",
// without regard to ASCII case).
bool IsInstallerPackage(const char* name);

// How `program` (a full path) is started: a Windows Installer package
// through msiexec, anything else directly.
platform::StartMethod StartMethodFor(const char* program);

// Starts `program` with `arguments` and waits for it, by StartMethodFor.
// When the system answers that the program needs elevation, which a direct
// start can never give, the same path is started once more through the
// shell, which shows the elevation prompt. The result is the last start's.
platform::ProcessResult StartProgram(const char* program, const platform::ProgramArguments& arguments,
                                     ProgramRunner run);

#endif  // LM_LAUNCHER_PROGRAM_START_H_
