#include "impl_lm_file.h"

#include <errno.h>

#include <cstring>

#include "lm_file.h"
#include "platform.h"

namespace {

const uint32_t kDirectoryBit = 0x4000;
const uint32_t kOwnerExecute = 0x40;
const uint32_t kOwnerWrite = 0x80;
const uint32_t kOwnerRead = 0x100;
const int kNewFileMode = 0x180;  // owner read and write

const char* TextOf(const LmString& s) { return s.GetText() ? s.GetText() : ""; }

// Position of the last '\' in the first `length` bytes, or -1.
int32_t LastSeparator(const LmString& s) {
  for (int32_t i = s.GetLength() - 1; i >= 0 && s.GetText() != nullptr; --i) {
    if (s.GetText()[i] == '\\') return i;
  }
  return -1;
}

}  // namespace

ImplLmFile::ImplLmFile(LmString newPath) : LmObject(), path(newPath), lastError(0), message("") {}

ImplLmFile::~ImplLmFile() {}

int ImplLmFile::SetPath(LmString newPath) {
  lastError = 0;
  path.AssignBytes(newPath.GetText(), newPath.GetLength());
  return 1;
}

int ImplLmFile::CanRead() {
  lastError = 0;
  return platform::Access(TextOf(path), 4) == 0 ? 1 : 0;
}

int ImplLmFile::CanWrite() {
  lastError = 0;
  return platform::Access(TextOf(path), 2) == 0 ? 1 : 0;
}

int ImplLmFile::Exists() {
  lastError = 0;
  return platform::Access(TextOf(path), 0) == 0 ? 1 : 0;
}

int ImplLmFile::Create() {
  if (Exists()) {
    lastError = kFileExists;
    return 0;
  }
  // Exclusive create: a file that appeared since the test is left intact.
  int fd = platform::CreateNewFile(TextOf(path), kNewFileMode);
  if (fd < 0) {
    if (errno == EEXIST) lastError = kFileExists;
    return 0;
  }
  platform::CloseFd(fd);
  return 1;
}

int ImplLmFile::Delete() {
  int removed;
  if (IsDirectory()) {
    removed = RemoveDirectoryA(TextOf(path)) ? 0 : -1;
  } else {
    removed = platform::RemoveFile(TextOf(path));
  }
  return removed == 0 ? 1 : 0;
}

LmString ImplLmFile::GetPath() { return path; }

LmString ImplLmFile::GetName() {
  lastError = 0;
  int32_t at = LastSeparator(path);
  if (at < 0) {
    lastError = kNameError;
    return LmString();
  }
  return path.Mid(at + 1, path.GetLength());
}

LmString ImplLmFile::GetParentPath() {
  lastError = 0;
  int32_t at = LastSeparator(path);
  if (at < 0) {
    lastError = kNameError;
    return LmString();
  }
  if (at == 0) return LmString();
  LmString parent = path.Mid(0, at - 1);
  if (parent.GetText()[parent.GetLength() - 1] == ':') parent.Append("\\");
  return parent;
}

LmFile* ImplLmFile::GetParentFile() {
  LmString parent = GetParentPath();
  if (parent.GetLength() == 0) {
    lastError = kNameError;
    return nullptr;
  }
  LmFile* file = new LmFile(parent);
  file->AddRef();
  return file;
}

bool ImplLmFile::StatForKind(uint32_t* mode) {
  lastError = 0;
  LmString prepared(path);
  if (prepared.GetLength() > 0 && prepared.GetText()[prepared.GetLength() - 1] == '\\') {
    prepared = prepared.Mid(0, prepared.GetLength() - 2);
  }
  if (prepared.GetLength() > 0 && prepared.GetText()[prepared.GetLength() - 1] == ':') {
    prepared.Append("\\");
  }
  platform::StatInfo info;
  if (platform::Stat(TextOf(prepared), &info) != 0) {
    lastError = kNotFound;
    return false;
  }
  *mode = info.mode;
  return true;
}

int ImplLmFile::IsDirectory() {
  uint32_t mode;
  return StatForKind(&mode) && (mode & kDirectoryBit) ? 1 : 0;
}

int ImplLmFile::IsFile() {
  uint32_t mode;
  return StatForKind(&mode) && !(mode & kDirectoryBit) ? 1 : 0;
}

bool ImplLmFile::StatAsStored(platform::StatInfo* info) {
  lastError = 0;
  if (platform::Stat(TextOf(path), info) == 0) return true;
  lastError = kNotFound;
  return false;
}

int ImplLmFile::IsExecutable() {
  platform::StatInfo info;
  if (!StatAsStored(&info)) {
    return 0;
  }
  return (info.mode & kOwnerExecute) ? 1 : 0;
}

LmTime* ImplLmFile::GetModifiedTime() {
  platform::StatInfo info;
  if (!StatAsStored(&info)) {
    return nullptr;
  }
  LmTime* time = new LmTime(info.mtime);
  time->AddRef();
  return time;
}

uint32_t ImplLmFile::GetSize() {
  platform::StatInfo info;
  if (!StatAsStored(&info)) {
    return 0;
  }
  return info.size;
}

template <typename Add>
int ImplLmFile::List(bool listValid, LmFileFilter* filter, bool filtered, Add add) {
  lastError = 0;
  if (!listValid || (filtered && filter == nullptr)) {
    lastError = kBadParameter;
    return 0;
  }
  if (!IsDirectory()) return 0;
  LmString pattern = LmString::Concat(path, "\\*.*");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(TextOf(pattern), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  bool endsInSeparator = path.GetLength() > 0 && path.GetText()[path.GetLength() - 1] == '\\';
  do {
    LmString name(data.cFileName);
    if (name.Equals(".") || name.Equals("..")) continue;
    if (filtered && !filter->Accept(name)) continue;
    LmString joined = endsInSeparator ? LmString::Concat(path, name) : LmString::Concat(LmString::Concat(path, "\\"), name);
    char longPath[MAX_PATH];
    DWORD length = GetLongPathNameA(TextOf(joined), longPath, sizeof(longPath));
    // Where the long form cannot be had (the entry vanished, or it would not
    // fit), the joined path still names the entry.
    if (length > 0 && length < sizeof(longPath)) {
      add(LmString(longPath));
    } else {
      add(joined);
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return 1;
}

namespace {
// Appends a new file object (count 1, the caller's) for each listed entry.
auto FileAdder(LmList<LmFile*>* list) {
  return [list](const LmString& entry) {
    LmFile* file = new LmFile(entry);
    file->AddRef();
    list->AddTail(file);
  };
}
}  // namespace

int ImplLmFile::ListFilesFiltered(LmList<LmFile*>* list, LmFileFilter* filter) {
  return List(list != nullptr, filter, true, FileAdder(list));
}

int ImplLmFile::ListFiles(LmList<LmFile*>* list) { return List(list != nullptr, nullptr, false, FileAdder(list)); }

int ImplLmFile::ListPathsFiltered(LmList<LmString>* list, LmFileFilter* filter) {
  return List(list != nullptr, filter, true, [list](const LmString& entry) { list->AddTail(entry); });
}

int ImplLmFile::ListPaths(LmList<LmString>* list) {
  return List(list != nullptr, nullptr, false, [list](const LmString& entry) { list->AddTail(entry); });
}

int ImplLmFile::MakeDirectory() {
  lastError = 0;
  if (platform::MakeDir(TextOf(path)) != 0) {
    lastError = kNotFound;
    return 0;
  }
  return 1;
}

int ImplLmFile::Rename(LmString newPath) {
  lastError = 0;
  if (platform::RenamePath(TextOf(path), TextOf(newPath)) != 0) {
    lastError = kNotFound;
    return 0;
  }
  return 1;
}

int ImplLmFile::SetModifiedTime(LmTime* time) {
  lastError = 0;
  if (time == nullptr) {
    lastError = kBadParameter;
    return 0;
  }
  // The time is only read during the call; no reference is taken, so a
  // caller's stack or member object (count 0) is never deleted here.
  SYSTEMTIME system;
  system.wYear = static_cast<WORD>(time->GetYear());
  system.wMonth = static_cast<WORD>(time->GetMonth());
  system.wDayOfWeek = static_cast<WORD>(time->GetDayOfWeek());
  system.wDay = static_cast<WORD>(time->GetDay());
  system.wHour = static_cast<WORD>(time->GetHour());
  system.wMinute = static_cast<WORD>(time->GetMinute());
  system.wSecond = static_cast<WORD>(time->GetSecond());
  system.wMilliseconds = static_cast<WORD>(time->GetMillisecond());
  FILETIME fileTime;
  if (!SystemTimeToFileTime(&system, &fileTime)) return 0;
  HANDLE file = CreateFileA(TextOf(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    lastError = kOpenFail;
    return 0;
  }
  if (!SetFileTime(file, nullptr, nullptr, &fileTime)) {
    CloseHandle(file);
    return 0;
  }
  if (!CloseHandle(file)) {
    lastError = kCloseFail;
    return 0;
  }
  return 1;
}

int ImplLmFile::SetModeBit(uint32_t bit, int on) {
  platform::StatInfo info;
  if (!StatAsStored(&info)) {
    return 0;
  }
  uint32_t mode = on ? (info.mode | bit) : (info.mode & ~bit);
  if (platform::Chmod(TextOf(path), static_cast<int>(mode)) != 0) {
    lastError = kNotFound;
    return 0;
  }
  return 1;
}

int ImplLmFile::SetReadable(int on) { return SetModeBit(kOwnerRead, on); }

int ImplLmFile::SetWritable(int on) { return SetModeBit(kOwnerWrite, on); }

uint32_t ImplLmFile::GetErrorCode() { return lastError; }

const char* ImplLmFile::GetErrorText(uint32_t code) {
  message.Assign("Success");
  switch (code) {
    case kFileExists: message.Assign("File exis"); break;
    case kBadParameter: message.Assign("Paramater is wrong"); break;
    case kAccessDenied:
      message.Assign("Access denied: file's permission setting does not allow specified access");
      break;
    case kNotFound: message.Assign("Filename or path not found"); break;
    case kNoDescriptors: message.Assign("No more file descriptors are available"); break;
    case kNameError: message.Assign("File name error"); break;
    case kOpenFail: message.Assign("Open file fail"); break;
    case kCloseFail: message.Assign("Close file fail"); break;
    default: break;
  }
  return message.GetText();
}
