// LmFileStream: the byte stream over a disk file, on the C runtime's
// buffered files, with a buffer of kBufferBytes. Every read and write goes
// straight to the runtime; callers choose their chunk sizes.
//
// Modes (SetMode, or OpenFile with a mode): 0 "rb" read an existing file,
// 1 "wb" create or truncate, 2 "ab+" read and append (created if missing),
// anything else (3 after construction) "rb+" read and write an existing file.
//
// Status: the file operations (OpenFile(), Close, Read, Write, Seek, Tell,
// Flush, GetAvailable) clear `status` first and set a code only on their own
// failure; SetFileName, SetMode, Clone and the error operations leave it.
// On a closed stream they report 0xF0000002 and return -1 (GetAvailable,
// Read, Write, Tell) or 0 (Close, Seek, Flush) without touching the runtime.
// Read and Write return the count transferred; a write that transferred less
// than asked also sets 0xF0000005, and a read that came back short because of
// an I/O error (not a plain end of file) sets 0xF0000004. Close reports a
// failed final flush as 0 with 0xF0000005 (the file is closed all the same).
//
// Ownership: the stream owns its file and closes it in its destructor.
// Clone and LmFile::OpenStream hand out streams with count 1 that the
// receiver releases. No locking: one thread at a time.
#ifndef LM_FILE_LM_FILE_STREAM_H_
#define LM_FILE_LM_FILE_STREAM_H_

#include <cstdint>
#include <cstdio>

#include "core/lm_string.h"
#include "file/lm_io_stream.h"

class LmFileStream : public virtual LmIOStream {
 public:
  static constexpr size_t kBufferBytes = 64 << 10;
  static constexpr uint32_t kOpenFail = 0xF0000001u;
  static constexpr uint32_t kNotOpen = 0xF0000002u;
  static constexpr uint32_t kNoLength = 0xF0000003u;
  static constexpr uint32_t kReadFail = 0xF0000004u;
  static constexpr uint32_t kWriteFail = 0xF0000005u;
  static constexpr uint32_t kSeekFail = 0xF0000006u;

  LmFileStream();
  ~LmFileStream() override;
  LmFileStream(const LmFileStream&) = delete;
  LmFileStream& operator=(const LmFileStream&) = delete;

  // The name for the next open, used unchanged; an open file is unaffected.
  virtual void SetFileName(const char* name);
  virtual void SetFileName(LmString name);
  // SetFileName, SetMode, then OpenFile().
  virtual int OpenFile(const char* name, int openMode);
  virtual int OpenFile(LmString name, int openMode);
  // Closes any open file first, then opens the name in the mode's text.
  // 1, or 0 with 0xF0000001 (the stream stays closed).
  virtual int OpenFile();
  virtual int CloseFile();
  // Takes `file`, opened by the caller in the mode `openMode` names, as
  // this stream's file (closing any open one first); the name stays as it
  // was. 1, or 0 with 0xF0000001 when `file` is null (not a virtual
  // operation: the slot order stays as it is).
  int AdoptFile(FILE* file, int openMode);

  void SetMode(int openMode) override;
  // The file's size minus the position, at most INT_MAX; -1 when that is
  // not above 0, when closed, or (0xF0000006) when it cannot be measured.
  int GetAvailable() override;
  int Open() override;
  int Close() override;
  int Read(void* buffer, int size) override;
  int Write(const void* buffer, int size) override;
  // Any origin other than 0, 1, 2 counts as 1. 0 with 0xF0000006 on failure.
  int Seek(int offset, int origin) override;
  // The position, or -1 when it is beyond INT_MAX (0xF0000006).
  int Tell() override;
  // Seek to `position` from the start, anywhere a file can reach (not a
  // virtual operation: the slot order stays as it is). 0 with 0xF0000006
  // on failure.
  int SeekTo(uint64_t position);
  int Flush() override;
  LmIOStream* Clone() override;

  uint32_t GetErrorCode() override;
  // Whether the last failed Write, Flush or Close since the file was opened
  // failed for lack of disk space (not a virtual operation: the slot order
  // stays as it is).
  bool WriteFailedForSpace() const;
  // The stream's text for `code` ("Success" for 0 and unknown codes), kept
  // in `message` until the next call.
  const char* GetErrorText(uint32_t code) override;

 private:
  // Clears the status and reports whether a file is open; sets 0xF0000002
  // when it is not.
  bool BeginFileOperation();

  FILE* handle;
  LmString path;
  LmString modeText;
  uint32_t status;
  LmString message;
  bool diskFull;
  char* buffer;  // the runtime's buffer for the open file; ours, kept across opens
};

#endif  // LM_FILE_LM_FILE_STREAM_H_
