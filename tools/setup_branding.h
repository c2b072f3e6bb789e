// lmpack's side of branding a Windows setup (--icon, --version-info): the
// options turned into the launcher the setup is made of, and the version
// strings shown by lmpack list. The resource editing is payload's
// (payload/launcher_branding.h).
#ifndef LM_TOOLS_SETUP_BRANDING_H_
#define LM_TOOLS_SETUP_BRANDING_H_

#include <cstdint>
#include <string>

#include "tools/lmpack_options.h"
#include "util/result.h"

// Whether `options` ask for an icon or version information.
bool WantsBranding(const LmpackOptions& options);

// Reads --icon's file and --version-info's settings (in the ANSI code
// page, which elsewhere is UTF-8), brands the launcher `stub` with them and
// writes the result to `staged`. Every check is made before `staged` is
// written. On failure nothing is left at `staged`, and the outcome is
// kUsage for a setting that is wrong, kUnreadable for a file that cannot be
// read, kBadInput for an icon file or a launcher that cannot be used,
// kWriteFault when `staged` cannot be written.
Result StageBrandedLauncher(const LmpackOptions& options, const std::string& stub, const std::string& staged);

// Prints "version info: KEY=VALUE" for each version string of the program
// image that the first `imageSize` bytes of `path` hold; nothing when there
// are none.
void PrintVersionStrings(const std::string& path, int64_t imageSize);

#endif  // LM_TOOLS_SETUP_BRANDING_H_
