// LmFile: the object through which the system names a file or directory on
// disk and acts on it. A thin facade: it owns exactly one ImplLmFile, made
// from the path at construction, and forwards its first 24 operations to it
// one for one (see impl_lm_file.h for what each does); OpenStream it carries
// out itself.
//
// LmFile objects are reference counted: those handed out by GetParentFile
// and the listings carry count 1 for the receiver to release; local ones
// keep count 0. The file on disk is never held open by a file object, only
// by the streams OpenStream hands out, which outlive it. No locking.
#ifndef LM_FILE_LM_FILE_H_
#define LM_FILE_LM_FILE_H_

#include <cstdint>

#include "core/lm_list.h"
#include "core/lm_string.h"
#include "core/lm_time.h"
#include "file/lm_file_filter.h"
#include "file/lm_file_stream.h"
#include "file/lm_impl.h"

class LmFile : public virtual LmImpl {
 public:
  explicit LmFile(LmString path);
  ~LmFile() override;
  LmFile(const LmFile&) = delete;
  LmFile& operator=(const LmFile&) = delete;

  virtual int SetPath(LmString newPath);
  virtual int CanRead();
  virtual int CanWrite();
  virtual int Create();
  virtual int Delete();
  virtual int Exists();
  virtual LmString GetPath();
  virtual LmString GetName();
  virtual LmString GetParentPath();
  virtual LmFile* GetParentFile();
  virtual int IsDirectory();
  virtual int IsFile();
  virtual int IsExecutable();
  virtual LmTime* GetModifiedTime();
  virtual uint32_t GetSize();
  virtual int ListFilesFiltered(LmList<LmFile*>* list, LmFileFilter* filter);
  virtual int ListFiles(LmList<LmFile*>* list);
  virtual int ListPathsFiltered(LmList<LmString>* list, LmFileFilter* filter);
  virtual int ListPaths(LmList<LmString>* list);
  virtual int MakeDirectory();
  virtual int Rename(LmString newPath);
  virtual int SetModifiedTime(LmTime* time);
  virtual int SetReadable(int on);
  virtual int SetWritable(int on);
  // An open stream on the file in `mode` (LmFileStream's modes) with count
  // 1; the caller's Release closes it. Null for a directory or when the open
  // fails.
  virtual LmFileStream* OpenStream(int mode);

  uint32_t GetErrorCode() override;
  const char* GetErrorText(uint32_t code) override;
};

#endif  // LM_FILE_LM_FILE_H_
