// The access rules of the launcher's working directory on Windows. Internal
// to the Windows port (MakePrivateDirectory) and its test side.
#ifndef LM_PLATFORM_WIN32_PRIVATE_DIRECTORY_H_
#define LM_PLATFORM_WIN32_PRIVATE_DIRECTORY_H_

#include <string>

namespace platform {

// The current process's user (its token's TokenUser) as the bytes of a SID;
// false when the token cannot be read.
bool CurrentUserSid(std::string* sid);

// A self-relative security descriptor, as bytes, whose DACL is protected
// (nothing is inherited from the parent directory) and allows full control
// to `userSid`, to SYSTEM and to the Administrators group, each inherited
// by the files and directories created inside; nobody else is granted
// anything. Administrators are included so that an installer the shell
// elevated with another administrator's credentials can still read the
// files. No owner or group is set: the creator's token supplies them. Empty
// when `userSid` is not a well-formed SID.
std::string PrivateDirectoryDescriptor(const std::string& userSid);

}  // namespace platform

#endif  // LM_PLATFORM_WIN32_PRIVATE_DIRECTORY_H_
