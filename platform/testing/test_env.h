// Operations the tests need on names and environment values outside the
// ANSI code page, which the narrow calls of platform.h cannot express on
// Windows. Test-only: linked into the test programs, never into the
// launcher or the packer. Text is UTF-8; paths use '\' as separator (the
// POSIX port turns it into '/').
#ifndef LM_PLATFORM_TESTING_TEST_ENV_H_
#define LM_PLATFORM_TESTING_TEST_ENV_H_

#include <string>

namespace platform {

// Sets (value non-null) or removes an environment variable of this process.
// On Windows this is the process environment that GetEnvironmentVariableW
// and the system's own look-ups (GetTempPathW) read; the C runtime's copy
// is left alone. False when the text is not valid UTF-8 or the system
// refuses.
bool SetEnvironmentUtf8(const char* name, const char* utf8Value);

// The variable's value; false (and `*utf8Value` empty) when it is not set.
bool GetEnvironmentUtf8(const char* name, std::string* utf8Value);

// Creates / removes one (empty) directory level. False on failure.
bool MakeDirectoryUtf8(const std::string& utf8Path);
bool RemoveDirectoryUtf8(const std::string& utf8Path);

// The temp directory as the system's wide call gives it (GetTempPathW on
// Windows, with its closing '\'); elsewhere GetAnsiTempDirectory's answer.
bool GetSystemTempPathUtf8(std::string* utf8Path);

}  // namespace platform

#endif  // LM_PLATFORM_TESTING_TEST_ENV_H_
