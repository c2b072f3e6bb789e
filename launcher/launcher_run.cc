#include "launcher_run.h"

#include <errno.h>

#include <cstring>
#include <string>
#include <vector>

#include "bzlib.h"
#include "filenode.h"
#include "lm_file_stream.h"
#include "lm_list.h"
#include "lm_time.h"
#include "payload_format.h"
#include "payload_reader.h"
#include "platform.h"

namespace {

using platform::LaunchFailure;

// How many suffixed names ("-1", "-2", ...) are tried when the working
// directory's name is taken.
const int kWorkingDirectoryAttempts = 100;

LaunchFailure WriteFailure() {
  return errno == ENOSPC ? LaunchFailure::kDiskFull : LaunchFailure::kWriteFault;
}

// Creates a working directory that did not exist before: a directory that
// is already there (planted, or made by a launcher started in the same
// second) is never reused.
bool MakeWorkingDirectory(const LmString& base, LmString* path) {
  for (int attempt = 0; attempt < kWorkingDirectoryAttempts; ++attempt) {
    LmString candidate(base);
    if (attempt > 0) {
      LmString suffix;
      suffix.Format("-%d", attempt);
      candidate.Append(suffix.GetText());
    }
    if (platform::MakePrivateDirectory(candidate.GetText()) == 0) {
      *path = candidate;
      return true;
    }
  }
  return false;
}

// Writes one file entry from the decompressed stream. Exactly `entry.size`
// bytes are taken from the stream, or the unpacking fails.
bool UnpackFile(BZFILE* reader, const LmString& target, const FILENODE& entry, bool isLaunchTarget, char* buffer,
                LaunchFailure* failure) {
  errno = 0;
  LmFileStream out;
  if (!out.OpenFile(target, 1)) {
    *failure = LaunchFailure::kWriteFault;
    return false;
  }
  unsigned char head[4];
  int headLength = 0;
  uint32_t done = 0;
  do {
    uint32_t chunk = entry.size - done < static_cast<uint32_t>(CHUNK_SIZE) ? entry.size - done : CHUNK_SIZE;
    int n = BZ2_bzread(reader, buffer, static_cast<int>(chunk));
    if (n < 0 || (n == 0 && chunk > 0)) {
      *failure = LaunchFailure::kCorruptData;  // corrupt, or shorter than the table says
      return false;
    }
    if (out.Write(buffer, n) != n) {
      *failure = WriteFailure();
      return false;
    }
    for (int i = 0; i < n && headLength < 4; ++i) head[headLength++] = static_cast<unsigned char>(buffer[i]);
    done += static_cast<uint32_t>(n);
  } while (done < entry.size);
  if (!out.Close()) {
    *failure = WriteFailure();
    return false;
  }
  if (platform::MarkIfExecutable(target.GetText(), head, headLength, isLaunchTarget) != 0) {
    *failure = LaunchFailure::kWriteFault;
    return false;
  }
  return true;
}

// Creates every entry of the table under `workingDirectory` from the staged
// compressed data, and checks that the data ends exactly where the table
// does (which also makes bzip2 check its stream checksum).
bool Unpack(const LmString& stagingPath, const LmString& workingDirectory, PayloadTable* table, char* buffer,
            LaunchFailure* failure) {
  BZFILE* reader = BZ2_bzopen(platform::NativePath(stagingPath.GetText()).c_str(), "rb");
  if (reader == nullptr) {
    *failure = LaunchFailure::kWriteFault;
    return false;
  }
  LmString launchPath = LmString::Concat(LmString("\\"), table->launchName);
  bool ok = true;
  for (auto* node = table->entries.GetHead(); ok && node != nullptr; node = node->next) {
    const FILENODE& entry = node->value;
    LmString target = LmString::Concat(workingDirectory, entry.path);
    if (entry.kind == FILENODE::kFile) {
      ok = UnpackFile(reader, target, entry, launchPath.Equals(entry.path.GetText()) == 1, buffer, failure);
    } else if (entry.kind == FILENODE::kDirectory) {
      if (!LmFile(target).MakeDirectory()) {
        *failure = LaunchFailure::kWriteFault;
        ok = false;
      }
    }
  }
  if (ok && table->compressedLength > 0 && BZ2_bzread(reader, buffer, CHUNK_SIZE) != 0) {
    *failure = LaunchFailure::kCorruptData;  // data beyond the table, or a bad checksum
    ok = false;
  }
  BZ2_bzclose(reader);
  return ok;
}

void RemoveWorkingDirectory(const LmString& path) {
  LmFile* directory = new LmFile(path);
  directory->AddRef();
  DeleteTree(directory);
}

}  // namespace

LmString MakeTimestampName() {
  LmTime* now = LmTime::Now();
  LmString name;
  name.Format("%04d%02d%02d%02d%02d%02d", now->GetYear(), now->GetMonth(), now->GetDay(), now->GetHour(),
              now->GetMinute(), now->GetSecond());
  now->Release();
  return name;
}

void DeleteTree(LmFile* directory) {
  LmList<LmFile*> children;
  directory->ListFiles(&children);
  for (auto* node = children.GetHead(); node != nullptr; node = node->next) {
    LmFile* child = node->value;
    LmString path = child->GetPath();
    platform::EntryType type = platform::GetEntryInfo(path.GetText()).type;
    if (type == platform::EntryType::kLink) {
      platform::RemoveLink(path.GetText());
      child->Release();
    } else if (type == platform::EntryType::kDirectory) {
      DeleteTree(child);
    } else {
      if (!child->Delete() && child->Exists()) {
        child->SetWritable(1);
        child->Delete();
      }
      child->Release();
    }
  }
  directory->Delete();
  directory->Release();
}

int RunLauncher() {
  char ownPath[MAX_PATH];
  memset(ownPath, 0, sizeof(ownPath));
  DWORD ownLength = GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
  char tempPath[MAX_PATH];
  memset(tempPath, 0, sizeof(tempPath));
  DWORD tempLength = GetTempPathA(sizeof(tempPath), tempPath);
  if (tempLength == 0 || tempLength >= sizeof(tempPath)) {
    return platform::ExitCodeFor(LaunchFailure::kCannotMake);
  }

  LmString workingDirectory;
  LmString base = LmString::Concat(LmString::Concat(LmString(tempPath), "\\"), MakeTimestampName());
  if (!MakeWorkingDirectory(base, &workingDirectory)) return platform::ExitCodeFor(LaunchFailure::kCannotMake);

  LmString stagingPath = LmString::Concat(LmString::Concat(workingDirectory, "\\"), MakeTimestampName());
  LaunchFailure failure = LaunchFailure::kBadPayload;
  bool ok = false;
  PayloadTable table;
  std::string problem;
  std::vector<char> buffer(CHUNK_SIZE);
  {
    LmFileStream own;
    LmFileStream staging;
    if (ownLength == 0 || ownLength >= sizeof(ownPath) || !own.OpenFile(ownPath, 0)) {
      failure = LaunchFailure::kOwnFileUnreadable;
    } else if (!staging.OpenFile(stagingPath, 1)) {
      failure = LaunchFailure::kCannotMake;
    } else if (PayloadReader::ReadTable(&own, &table, &problem) != PayloadResult::kOk) {
      failure = LaunchFailure::kBadPayload;
    } else {
      PayloadResult copied = PayloadReader::CopyCompressed(&own, &staging, table, buffer.data(), &problem);
      if (copied == PayloadResult::kStagingFailed) {
        failure = WriteFailure();
      } else if (copied == PayloadResult::kOk) {
        ok = Unpack(stagingPath, workingDirectory, &table, buffer.data(), &failure);
      }
    }
  }
  LmFile(stagingPath).Delete();
  if (!ok) {
    RemoveWorkingDirectory(workingDirectory);
    return platform::ExitCodeFor(failure);
  }

  // The full path, both as the program to run and, quoted, as the command
  // line: a temp path with spaces can neither run a truncated name nor split
  // the program's first argument.
  LmString program = LmString::Concat(LmString::Concat(workingDirectory, "\\"), table.launchName);
  LmString quoted = LmString::Concat(LmString::Concat(LmString("\""), program), "\"");
  std::vector<char> commandLine(quoted.GetText(), quoted.GetText() + quoted.GetLength() + 1);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof(process));
  int exitCode;
  if (CreateProcessA(program.GetText(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD processExitCode = 0;
    GetExitCodeProcess(process.hProcess, &processExitCode);
    exitCode = platform::ExitCodeForProcess(processExitCode);
    CloseHandle(process.hProcess);
    if (process.hThread != nullptr) CloseHandle(process.hThread);
  } else {
    exitCode = platform::ExitCodeForStartFailure(GetLastError());
  }
  RemoveWorkingDirectory(workingDirectory);
  return exitCode;
}
