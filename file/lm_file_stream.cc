#include "file/lm_file_stream.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "file/lm_file.h"
#include "file/status_text.h"
#include "platform/platform.h"

LmFileStream::LmFileStream()
    : LmObject(),
      LmIOStream(),
      handle(nullptr),
      path(""),
      modeText("rb+"),
      status(0),
      message(""),
      diskFull(false),
      buffer(nullptr) {}

LmFileStream::~LmFileStream() {
  Close();
  free(buffer);
}

void LmFileStream::SetFileName(const char* name) { path.Assign(name); }

void LmFileStream::SetFileName(LmString name) { path.AssignBytes(name.GetText(), name.GetLength()); }

int LmFileStream::OpenFile(const char* name, int openMode) {
  SetFileName(name);
  SetMode(openMode);
  return OpenFile();
}

int LmFileStream::OpenFile(LmString name, int openMode) {
  SetFileName(name);
  SetMode(openMode);
  return OpenFile();
}

int LmFileStream::OpenFile() {
  Close();
  return AdoptFile(platform::OpenFile(path.GetText() ? path.GetText() : "", modeText.GetText()), mode);
}

int LmFileStream::AdoptFile(FILE* file, int openMode) {
  Close();
  SetMode(openMode);
  status = 0;
  diskFull = false;
  handle = file;
  if (handle == nullptr) {
    status = kOpenFail;
    return 0;
  }
  // The runtimes' default buffers are 4 KiB (msvcrt's and glibc's on most
  // file systems): a system call, and on Windows a scan by the antivirus
  // filter, for every 4 KiB that small reads and writes pass through.
  // The buffer is ours (glibc ignores the size of one it allocates) and
  // kept for the next open. It comes from malloc, not the program's
  // accounted allocation: without it the stream works, only slower, so its
  // failure must not count as memory running out.
  if (buffer == nullptr) buffer = static_cast<char*>(malloc(kBufferBytes));
  if (buffer != nullptr) setvbuf(handle, buffer, _IOFBF, kBufferBytes);
  return 1;
}

int LmFileStream::CloseFile() { return Close(); }

void LmFileStream::SetMode(int openMode) {
  mode = openMode;
  switch (openMode) {
    case 0:
      modeText.Assign("rb");
      break;
    case 1:
      modeText.Assign("wb");
      break;
    case 2:
      modeText.Assign("ab+");
      break;
    default:
      modeText.Assign("rb+");
      break;
  }
}

bool LmFileStream::BeginFileOperation() {
  status = 0;
  if (handle != nullptr) return true;
  status = kNotOpen;
  return false;
}

int LmFileStream::GetAvailable() {
  if (!BeginFileOperation()) return -1;
  // Measured on the open file in 64-bit positions, so that a file past
  // 4 GiB, whose size no 32-bit figure holds, still gives its remainder.
  const int64_t position = platform::TellFile(handle);
  if (position < 0 || platform::SeekFile(handle, 0, SEEK_END) != 0) {
    status = kSeekFail;
    return -1;
  }
  const int64_t available = platform::TellFile(handle) - position;
  if (platform::SeekFile(handle, position) != 0) {
    status = kSeekFail;
    return -1;
  }
  return available <= 0 ? -1 : available > INT_MAX ? INT_MAX : static_cast<int>(available);
}

int LmFileStream::Open() { return OpenFile(); }

int LmFileStream::Close() {
  if (!BeginFileOperation()) return 0;
  int result = fclose(handle);
  handle = nullptr;
  if (result != 0) {
    // The final flush lost data: the file is closed but incomplete.
    status = kWriteFail;
    diskFull = platform::LastFileErrorWasDiskFull();
    return 0;
  }
  return 1;
}

int LmFileStream::Read(void* buffer, int size) {
  if (!BeginFileOperation()) return -1;
  if (size < 0 || (buffer == nullptr && size > 0)) {
    status = kReadFail;
    return -1;
  }
  size_t count = fread(buffer, 1, static_cast<size_t>(size), handle);
  if (count < static_cast<size_t>(size) && ferror(handle)) {
    status = kReadFail;
    clearerr(handle);
  }
  return static_cast<int>(count);
}

int LmFileStream::Write(const void* buffer, int size) {
  if (!BeginFileOperation()) return -1;
  if (size < 0 || (buffer == nullptr && size > 0)) {
    status = kWriteFail;
    return -1;
  }
  size_t count = fwrite(buffer, 1, static_cast<size_t>(size), handle);
  if (count < static_cast<size_t>(size)) {
    status = kWriteFail;
    diskFull = platform::LastFileErrorWasDiskFull();
    clearerr(handle);
  }
  return static_cast<int>(count);
}

int LmFileStream::Seek(int offset, int origin) {
  if (!BeginFileOperation()) return 0;
  int whence = origin == 0 ? SEEK_SET : origin == 2 ? SEEK_END : SEEK_CUR;
  if (platform::SeekFile(handle, offset, whence) != 0) {
    status = kSeekFail;
    return 0;
  }
  return 1;
}

int LmFileStream::SeekTo(uint64_t position) {
  if (!BeginFileOperation()) return 0;
  if (position > static_cast<uint64_t>(INT64_MAX) ||
      platform::SeekFile(handle, static_cast<int64_t>(position), SEEK_SET) != 0) {
    status = kSeekFail;
    return 0;
  }
  return 1;
}

int LmFileStream::Tell() {
  if (!BeginFileOperation()) return -1;
  const int64_t position = platform::TellFile(handle);
  if (position > INT_MAX) {
    status = kSeekFail;
    return -1;
  }
  return static_cast<int>(position);
}

int LmFileStream::Flush() {
  if (!BeginFileOperation()) return 0;
  if (fflush(handle) != 0) {
    status = kWriteFail;
    diskFull = platform::LastFileErrorWasDiskFull();
    return 0;
  }
  return 1;
}

LmIOStream* LmFileStream::Clone() {
  LmFileStream* copy = new LmFileStream();
  copy->AddRef();
  copy->SetFileName(path);
  copy->SetMode(mode);
  return copy;
}

uint32_t LmFileStream::GetErrorCode() { return status; }

bool LmFileStream::WriteFailedForSpace() const { return diskFull; }

const char* LmFileStream::GetErrorText(uint32_t code) {
  static const char* const kTexts[] = {"Open file fail",      "File is not openned",  "Can not get file length",
                                       "Read file data fail", "Write file data fail", "File seek fail"};
  static_assert(kOpenFail == kFirstStatusCode && kSeekFail - kOpenFail + 1 == sizeof(kTexts) / sizeof(kTexts[0]),
                "one text per status code, in code order");
  message.Assign(StatusText(kTexts, code));
  return message.GetText();
}
