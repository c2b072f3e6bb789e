// The directory for the launcher's temporary files, as a path that the
// narrow ("A") file calls name exactly.
#ifndef LM_PLATFORM_TEMP_DIRECTORY_H_
#define LM_PLATFORM_TEMP_DIRECTORY_H_

#include <string>

namespace platform {

// Windows: the user's temp directory (GetTempPathW: TMP, TEMP, USERPROFILE,
// the Windows directory) in the ANSI code page, when it converts without
// loss; else its short (8.3) form, when that converts without loss. The
// result ends in '\' and is shorter than MAX_PATH (260) bytes. False (and
// `*path` empty) when neither form qualifies, e.g. a name outside the ANSI
// code page on a volume without short names, or a directory that does not
// exist (it has no short form). A path with '?' in place of characters the
// code page lacks, which is what GetTempPathA gives then, is never returned.
//
// POSIX: TMPDIR when set and not empty, else "/tmp", with a closing '/'
// added when missing; the bytes are used as they are. False when that is
// 260 bytes or longer.
bool GetAnsiTempDirectory(std::string* path);

}  // namespace platform

#endif  // LM_PLATFORM_TEMP_DIRECTORY_H_
