#include "file/lm_file.h"

#include "file/impl_lm_file.h"

LmFile::LmFile(LmString path) : LmObject(), LmImpl() { impl = new ImplLmFile(path); }

LmFile::~LmFile() {
  delete impl;
  impl = nullptr;
}

int LmFile::SetPath(LmString newPath) { return impl->SetPath(newPath); }
int LmFile::CanRead() { return impl->CanRead(); }
int LmFile::CanWrite() { return impl->CanWrite(); }
int LmFile::Create() { return impl->Create(); }
int LmFile::Delete() { return impl->Delete(); }
int LmFile::Exists() { return impl->Exists(); }
LmString LmFile::GetPath() { return impl->GetPath(); }
LmString LmFile::GetName() { return impl->GetName(); }
LmString LmFile::GetParentPath() { return impl->GetParentPath(); }
LmFile* LmFile::GetParentFile() { return impl->GetParentFile(); }
int LmFile::IsDirectory() { return impl->IsDirectory(); }
int LmFile::IsFile() { return impl->IsFile(); }
int LmFile::IsExecutable() { return impl->IsExecutable(); }
LmTime* LmFile::GetModifiedTime() { return impl->GetModifiedTime(); }
uint32_t LmFile::GetSize() { return impl->GetSize(); }
int LmFile::ListFilesFiltered(LmList<LmFile*>* list, LmFileFilter* filter) {
  return impl->ListFilesFiltered(list, filter);
}
int LmFile::ListFiles(LmList<LmFile*>* list) { return impl->ListFiles(list); }
int LmFile::ListPathsFiltered(LmList<LmString>* list, LmFileFilter* filter) {
  return impl->ListPathsFiltered(list, filter);
}
int LmFile::ListPaths(LmList<LmString>* list) { return impl->ListPaths(list); }
int LmFile::MakeDirectory() { return impl->MakeDirectory(); }
int LmFile::Rename(LmString newPath) { return impl->Rename(newPath); }
int LmFile::SetModifiedTime(LmTime* time) { return impl->SetModifiedTime(time); }
int LmFile::SetReadable(int on) { return impl->SetReadable(on); }
int LmFile::SetWritable(int on) { return impl->SetWritable(on); }

LmFileStream* LmFile::OpenStream(int mode) {
  if (IsDirectory()) return nullptr;
  LmFileStream* stream = new LmFileStream();
  stream->AddRef();
  if (!stream->OpenFile(GetPath(), mode)) {
    stream->Release();
    return nullptr;
  }
  return stream;
}

uint32_t LmFile::GetErrorCode() { return impl->GetErrorCode(); }
const char* LmFile::GetErrorText(uint32_t code) { return impl->GetErrorText(code); }
