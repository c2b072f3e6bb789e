// ImplLmFile: the implementation behind each LmFile. It holds one path and
// carries out the operations on it: tests for existence, kind and
// permission, creation, removal, renaming, size, modification time,
// permission bits, splitting into parent and name, and one-level directory
// listings.
//
// Paths are Windows paths used exactly as stored (no normalisation, no case
// folding, never made absolute); every '\' is a separator, "D:" a drive.
// Nothing is cached and no file is kept open between calls.
//
// Status: every operation except GetPath, GetErrorCode and GetErrorText sets
// `lastError` to 0 first and then sets a code only on its own failure:
//   0xF0000001 "File exis"            Create on an existing path
//   0xF0000002 "Paramater is wrong"   a null time, list or filter
//   0xF0000004 "Filename or path not found"  stat, mkdir, rename or chmod failed
//   0xF0000006 "File name error"      no '\' to split at; no parent
//   0xF0000007 "Open file fail"       SetModifiedTime cannot open the file
//   0xF0000008 "Close file fail"      SetModifiedTime cannot close it
// (0xF0000003 and 0xF0000005 have texts but are never reported.)
//
// Ownership: created and deleted only by its LmFile. Objects it hands out
// (GetParentFile, GetModifiedTime, listed file objects) carry count 1 and
// the caller releases them. No locking: one thread at a time.
#ifndef LM_FILE_IMPL_LM_FILE_H_
#define LM_FILE_IMPL_LM_FILE_H_

#include <cstdint>

#include "core/lm_list.h"
#include "core/lm_object.h"
#include "core/lm_string.h"
#include "core/lm_time.h"
#include "file/lm_file_filter.h"
#include "platform/platform.h"

class LmFile;

class ImplLmFile : public virtual LmObject {
 public:
  static constexpr uint32_t kFileExists = 0xF0000001u;
  static constexpr uint32_t kBadParameter = 0xF0000002u;
  static constexpr uint32_t kAccessDenied = 0xF0000003u;
  static constexpr uint32_t kNotFound = 0xF0000004u;
  static constexpr uint32_t kNoDescriptors = 0xF0000005u;
  static constexpr uint32_t kNameError = 0xF0000006u;
  static constexpr uint32_t kOpenFail = 0xF0000007u;
  static constexpr uint32_t kCloseFail = 0xF0000008u;

  explicit ImplLmFile(LmString path);
  ~ImplLmFile() override;

  // Always 1.
  virtual int SetPath(LmString newPath);
  // access() for read, write, existence; a "no" sets no code.
  virtual int CanRead();
  virtual int CanWrite();
  // A new empty file; never truncates one that exists (0, 0xF0000001, also
  // when another process creates it first). 0 with no code when the file
  // cannot be made.
  virtual int Create();
  // Removes the file, or the directory when it is empty.
  virtual int Delete();
  virtual int Exists();
  virtual LmString GetPath();
  // After the last '\' / before it (a drive's top level gives the root).
  virtual LmString GetName();
  virtual LmString GetParentPath();
  // A new LmFile for GetParentPath(), count 1; null when that is empty.
  virtual LmFile* GetParentFile();
  // Kind tests; a trailing '\' is dropped and "D:" means the drive's root.
  virtual int IsDirectory();
  virtual int IsFile();
  // Owner-execute bit of stat on the path as stored.
  virtual int IsExecutable();
  // A new LmTime (count 1) holding the UTC breakdown of the modification
  // time; null when stat fails.
  virtual LmTime* GetModifiedTime();
  // Low 32 bits of the size (0 for a directory); 0 when stat fails.
  virtual uint32_t GetSize();
  // One directory level, appended to `list` behind what it holds; "." and
  // ".." are never listed nor shown to the filter. 1 when the directory was
  // read to its end, 0 when it was not listed at all. File objects arrive
  // with count 1 each; the caller releases every one.
  virtual int ListFilesFiltered(LmList<LmFile*>* list, LmFileFilter* filter);
  virtual int ListFiles(LmList<LmFile*>* list);
  virtual int ListPathsFiltered(LmList<LmString>* list, LmFileFilter* filter);
  virtual int ListPaths(LmList<LmString>* list);
  // Creates the one directory the path names; its parent must exist.
  virtual int MakeDirectory();
  // Moves the entry; fails when the target exists. The object keeps naming
  // the old path.
  virtual int Rename(LmString newPath);
  // Sets the last-write time from the time's fields taken as UTC. The time
  // object is only read; the caller keeps it.
  virtual int SetModifiedTime(LmTime* time);
  // Sets or clears the owner-read / owner-write bit. On Windows only the
  // write bit has an effect (read-only attribute).
  virtual int SetReadable(int on);
  virtual int SetWritable(int on);

  uint32_t GetErrorCode() override;
  const char* GetErrorText(uint32_t code) override;

 private:
  // Clears the status and finds the last '\' of the path; -1 (0xF0000006)
  // when there is none.
  int32_t SplitPoint();
  // Stat of the path prepared for the kind tests; false (0xF0000004) when it
  // fails.
  bool StatForKind(uint32_t* mode);
  // Clears the status and stats the path as stored; false (0xF0000004) when
  // that fails.
  bool StatAsStored(platform::StatInfo* info);
  int SetModeBit(uint32_t bit, int on);
  // The shared listing procedure: adds each accepted entry's path through
  // `add`.
  template <typename Add>
  int List(bool listValid, LmFileFilter* filter, bool filtered, Add add);

  LmString path;
  uint32_t lastError;
  LmString message;
};

#endif  // LM_FILE_IMPL_LM_FILE_H_
