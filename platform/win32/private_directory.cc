// The working directory's security descriptor, written out byte by byte
// (SECURITY_DESCRIPTOR_RELATIVE, ACL, ACCESS_ALLOWED_ACE, SID: Microsoft's
// documented layouts), so that the launcher needs no ADVAPI32 import: only
// the token query is looked up there at run time.
#include "platform/win32/private_directory.h"

#include <stdint.h>

#include "platform/win32/windows_api.h"

#include "platform/win32/system_library.h"

namespace platform {

namespace {

const uint8_t kSidRevision = 1;
const uint8_t kAclRevision = 2;
const uint8_t kAccessAllowed = 0;                  // ACCESS_ALLOWED_ACE_TYPE
const uint8_t kInheritedByFilesAndFolders = 0x03;  // OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE
const uint32_t kFullControl = 0x001F01FF;          // FILE_ALL_ACCESS
const uint16_t kSelfRelative = 0x8000, kDaclProtected = 0x1000, kDaclPresent = 0x0004;
const size_t kDescriptorHeader = 20, kAclHeader = 8, kAceHeader = 8;

// S-1-5-18 and S-1-5-32-544.
const unsigned char kSystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const unsigned char kAdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};

size_t SidLength(const std::string& sid) {
  if (sid.size() < 8 || static_cast<uint8_t>(sid[0]) != kSidRevision) return 0;
  size_t count = static_cast<uint8_t>(sid[1]);
  size_t length = 8 + 4 * count;
  return count <= 15 && length == sid.size() ? length : 0;
}

void Put16(std::string* out, uint16_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>(value >> 8));
}

void Put32(std::string* out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<uint16_t>(value >> 16));
}

}  // namespace

bool CurrentUserSid(std::string* sid) {
  typedef BOOL(WINAPI * OpenProcessTokenFn)(HANDLE, DWORD, HANDLE*);
  typedef BOOL(WINAPI * GetTokenInformationFn)(HANDLE, int, void*, DWORD, DWORD*);
  const int kTokenUser = 1;  // TOKEN_INFORMATION_CLASS::TokenUser
  auto openToken = reinterpret_cast<OpenProcessTokenFn>(SystemProcedure("advapi32.dll", "OpenProcessToken"));
  auto query = reinterpret_cast<GetTokenInformationFn>(SystemProcedure("advapi32.dll", "GetTokenInformation"));
  HANDLE token = nullptr;
  if (openToken == nullptr || query == nullptr || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  // TOKEN_USER: a SID_AND_ATTRIBUTES whose SID points into the same buffer.
  union {
    SID_AND_ATTRIBUTES user;
    unsigned char bytes[256];
  } buffer;
  DWORD size = 0;
  bool ok = query(token, kTokenUser, &buffer, sizeof(buffer), &size) != 0;
  CloseHandle(token);
  if (!ok || buffer.user.Sid == nullptr) return false;
  const unsigned char* bytes = static_cast<const unsigned char*>(buffer.user.Sid);
  if (bytes < buffer.bytes || bytes + 8 > buffer.bytes + sizeof(buffer)) return false;
  size_t length = 8 + 4 * static_cast<size_t>(bytes[1]);
  if (bytes + length > buffer.bytes + sizeof(buffer)) return false;
  sid->assign(reinterpret_cast<const char*>(bytes), length);
  return SidLength(*sid) != 0;
}

std::string PrivateDirectoryDescriptor(const std::string& userSid) {
  const std::string sids[] = {
      userSid, std::string(reinterpret_cast<const char*>(kSystemSid), sizeof(kSystemSid)),
      std::string(reinterpret_cast<const char*>(kAdministratorsSid), sizeof(kAdministratorsSid))};
  size_t aclSize = kAclHeader;
  for (const std::string& sid : sids) {
    if (SidLength(sid) == 0) return std::string();
    aclSize += kAceHeader + sid.size();
  }
  std::string out;
  out.push_back(1);  // SECURITY_DESCRIPTOR_REVISION
  out.push_back(0);
  Put16(&out, kSelfRelative | kDaclProtected | kDaclPresent);
  Put32(&out, 0);  // owner
  Put32(&out, 0);  // group
  Put32(&out, 0);  // SACL
  Put32(&out, kDescriptorHeader);
  out.push_back(static_cast<char>(kAclRevision));
  out.push_back(0);
  Put16(&out, static_cast<uint16_t>(aclSize));
  Put16(&out, 3);  // ACE count
  Put16(&out, 0);
  for (const std::string& sid : sids) {
    out.push_back(static_cast<char>(kAccessAllowed));
    out.push_back(static_cast<char>(kInheritedByFilesAndFolders));
    Put16(&out, static_cast<uint16_t>(kAceHeader + sid.size()));
    Put32(&out, kFullControl);
    out += sid;
  }
  return out;
}

}  // namespace platform
