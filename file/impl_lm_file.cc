#include "file/impl_lm_file.h"

#include <cstring>
#include <string>

#include "file/lm_file.h"
#include "file/status_text.h"
#include "platform/platform.h"

namespace {

const uint32_t kDirectoryBit = 0x4000;
const uint32_t kOwnerExecute = 0x40;
const uint32_t kOwnerWrite = 0x80;
const uint32_t kOwnerRead = 0x100;

const char* TextOf(const LmString& s) { return s.GetText() ? s.GetText() : ""; }

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The time's fields read as UTC, when they form a date and time of day that
// a file time can hold (1601 to 30827, milliseconds below 1000).
bool UtcSecondsOf(LmTime* time, int64_t* seconds) {
  int32_t year = time->GetYear(), month = time->GetMonth(), day = time->GetDay();
  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > time->GetDaysInMonth(year, month) ||
      time->GetHour() < 0 || time->GetHour() > 23 || time->GetMinute() < 0 || time->GetMinute() > 59 ||
      time->GetSecond() < 0 || time->GetSecond() > 59 || time->GetMillisecond() < 0 || time->GetMillisecond() > 999) {
    return false;
  }
  *seconds =
      DaysFromCivil(year, month, day) * 86400 + time->GetHour() * 3600 + time->GetMinute() * 60 + time->GetSecond();
  return true;
}

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
  platform::CreateResult created = platform::CreateNewFile(TextOf(path));
  if (created == platform::CreateResult::kExists) lastError = kFileExists;
  return created == platform::CreateResult::kCreated ? 1 : 0;
}

int ImplLmFile::Delete() {
  int removed;
  if (IsDirectory()) {
    removed = platform::RemoveEmptyDirectory(TextOf(path));
  } else {
    removed = platform::RemoveFile(TextOf(path));
  }
  return removed == 0 ? 1 : 0;
}

LmString ImplLmFile::GetPath() { return path; }

int32_t ImplLmFile::SplitPoint() {
  lastError = 0;
  int32_t at = LastSeparator(path);
  if (at < 0) lastError = kNameError;
  return at;
}

LmString ImplLmFile::GetName() {
  int32_t at = SplitPoint();
  return at < 0 ? LmString() : path.Mid(at + 1, path.GetLength());
}

LmString ImplLmFile::GetParentPath() {
  int32_t at = SplitPoint();
  if (at <= 0) return LmString();
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
  bool endsInSeparator = path.GetLength() > 0 && path.GetText()[path.GetLength() - 1] == '\\';
  return platform::ForEachEntry(
             TextOf(path),
             [&](const char* bareName) {
               LmString name(bareName);
               if (filtered && !filter->Accept(name)) return;
               LmString joined = endsInSeparator ? LmString::Concat(path, name)
                                                 : LmString::Concat(LmString::Concat(path, "\\"), name);
               // Where the long form cannot be had (the entry vanished, or it would not
               // fit), the joined path still names the entry.
               std::string longPath;
               add(platform::GetLongPath(TextOf(joined), &longPath) ? LmString(longPath.c_str()) : joined);
             })
             ? 1
             : 0;
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
  if (platform::MakeDirectory(TextOf(path)) != 0) {
    lastError = kNotFound;
    return 0;
  }
  return 1;
}

int ImplLmFile::Rename(LmString newPath) {
  lastError = 0;
  if (platform::Rename(TextOf(path), TextOf(newPath)) != 0) {
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
  int64_t seconds;
  if (!UtcSecondsOf(time, &seconds)) return 0;
  switch (platform::SetModifiedTime(TextOf(path), seconds, time->GetMillisecond())) {
    case platform::SetTimeResult::kDone:
      return 1;
    case platform::SetTimeResult::kOpenFailed:
      lastError = kOpenFail;
      return 0;
    case platform::SetTimeResult::kCloseFailed:
      lastError = kCloseFail;
      return 0;
    default:
      return 0;
  }
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
  static const char* const kTexts[] = {"File exis",
                                       "Paramater is wrong",
                                       "Access denied: file's permission setting does not allow specified access",
                                       "Filename or path not found",
                                       "No more file descriptors are available",
                                       "File name error",
                                       "Open file fail",
                                       "Close file fail"};
  static_assert(kFileExists == kFirstStatusCode && kCloseFail - kFileExists + 1 == sizeof(kTexts) / sizeof(kTexts[0]),
                "one text per status code, in code order");
  message.Assign(StatusText(kTexts, code));
  return message.GetText();
}
