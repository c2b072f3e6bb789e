#include "tools/pack_command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "core/lm_list.h"
#include "file/lm_file_stream.h"
#include "payload/filenode.h"
#include "payload/integrity_record.h"
#include "payload/payload_format.h"
#include "payload/payload_writer.h"
#include "payload/pe_certificate_table.h"
#include "platform/code_page.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/utf8_files.h"
#include "tools/folder_scan.h"
#include "tools/lmpack_compressor.h"
#include "tools/name_encoding.h"
#include "tools/setup_branding.h"

namespace {

const int kCopyChunk = 1 << 18;

std::string DirectoryOf(const std::string& path) {
  size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string(".") : path.substr(0, at);
}

// Whether the Windows launcher can start `name`: CreateProcess runs .exe and
// .com programs and hands .bat and .cmd files to the command interpreter;
// the launcher starts .msi packages through msiexec. Anything else fails
// with ERROR_BAD_EXE_FORMAT on the user's machine.
bool IsWindowsLaunchable(const std::string& name) {
  size_t dot = name.find_last_of(".\\");
  if (dot == std::string::npos || name[dot] != '.') return false;
  std::string extension = name.substr(dot);
  for (char& c : extension) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (const char* known : {".exe", ".com", ".bat", ".cmd", ".msi"}) {
    if (extension == known) return true;
  }
  return false;
}

// The launcher for `target` beside lmpack, or in its install tree.
std::string FindStub(const std::string& target) {
  std::string name = target == "native" ? "lmsetup" : "lmsetup.exe";
  std::string self;
  if (!platform::GetExecutablePath(&self)) return std::string();
  std::string here = DirectoryOf(self);
  for (const std::string& candidate : {here + "\\" + name, here + "\\..\\share\\lmsetup\\" + name}) {
    if (platform::GetEntryInfo(candidate.c_str()).type == platform::EntryType::kFile) return candidate;
  }
  return std::string();
}

struct PackPlan {
  std::vector<PackEntry> entries;
  LmList<FILENODE> table;
  LmString launchName;
  uint64_t total = 0;  // bytes of file contents
};

// Checks the scanned entries and the launch name as the launcher will, in
// the bytes the payload stores.
bool MakeTable(const LmpackOptions& options, PackPlan* plan) {
  int codePage = options.target == "windows" ? options.codePage : kStoreAsIs;
  payload::PayloadTableChecker checker;
  std::string bytes, problem;
  for (const PackEntry& e : plan->entries) {
    if (!EncodePayloadPath(e.relative, codePage, &bytes, &problem)) {
      ReportError(e.host + ": " + problem);
      return false;
    }
    FILENODE node{LmString(bytes.c_str()), e.kind, static_cast<uint32_t>(e.size)};
    if (!checker.Add(node, &problem)) {
      ReportError(e.host + ": " + problem);
      return false;
    }
    plan->table.AddTail(node);
    plan->total += e.size;
  }
  std::string run = options.run;
  std::replace(run.begin(), run.end(), '/', '\\');
  if (!EncodePayloadPath(run, codePage, &bytes, &problem)) {
    ReportError("--run " + options.run + ": " + problem);
    return false;
  }
  plan->launchName = LmString(bytes.c_str());
  if (!checker.CheckLaunchName(plan->launchName, &problem)) {
    ReportError("--run " + options.run + ": " + problem + " (it must be a regular file in " + options.input + ")");
    return false;
  }
  if (options.target == "windows" && !IsWindowsLaunchable(run)) {
    ReportError("--run " + options.run + ": Windows starts only a program (.exe, .com), a batch file (.bat, .cmd) " +
                "or a Windows Installer package (.msi) from a setup");
    return false;
  }
  return true;
}

// Copies all of `from` to `out`; the first bytes go to `head`.
bool CopyFile(const std::string& from, LmFileStream* out, int64_t* copied, unsigned char* head, int* headLength) {
  LmFileStream in;
  if (!in.OpenFile(from.c_str(), 0)) return false;
  std::vector<char> buffer(kCopyChunk);
  int n;
  while ((n = in.Read(buffer.data(), kCopyChunk)) > 0) {
    for (int i = 0; i < n && head != nullptr && *headLength < 4; ++i)
      head[(*headLength)++] = static_cast<unsigned char>(buffer[i]);
    if (out->Write(buffer.data(), n) != n) return false;
    *copied += n;
  }
  return in.GetErrorCode() == 0;
}

// The output: launcher, padding, integrity record, table, the compressed
// data staged in `dataPath`, trailer.
ExitStatus Assemble(const LmpackOptions& options, const std::string& stub, const PackPlan& plan,
                    const std::string& dataPath, int64_t compressedLength) {
  LmFileStream out;
  if (!out.OpenFile(options.output.c_str(), 1)) {
    ReportError(options.output + ": cannot create");
    return ExitStatus::kIo;
  }
  unsigned char head[4] = {0, 0, 0, 0};
  int headLength = 0;
  int64_t imageSize = 0;
  if (!CopyFile(stub, &out, &imageSize, head, &headLength)) {
    ReportError(stub + ": cannot read the launcher");
    return ExitStatus::kIo;
  }
  int64_t tableSize = PayloadWriter::TableSize(plan.launchName, plan.table);
  int padding =
      options.target == "windows" ? PayloadWriter::PaddingForSigning(imageSize, tableSize, compressedLength) : 0;
  std::vector<char> zeros(static_cast<size_t>(padding) + 1, '\0');
  int64_t payloadOffset = imageSize + padding + payload::IntegrityRecord::kSize;
  LmFileStream data;
  bool ok =
      out.Write(zeros.data(), padding) == padding && payloadOffset < (int64_t{1} << 31) &&
      data.OpenFile(dataPath.c_str(), 0) &&
      PayloadWriter::WritePayload(&out, plan.launchName, plan.table, &data, static_cast<int32_t>(compressedLength));
  ok = out.Close() && ok;
  // The output is a program wherever the launcher is one.
  ok = ok && platform::MarkIfExecutable(options.output.c_str(), head, headLength, false) == 0;
  if (!ok) ReportError(options.output + ": cannot write");
  return ok ? ExitStatus::kOk : ExitStatus::kIo;
}

ExitStatus WriteSetup(const LmpackOptions& options, const std::string& stub, const PackPlan& plan) {
  std::string dataPath = options.output + ".lmpack-data";
  int64_t compressedLength = 0;
  ExitStatus status = CompressFiles(options, plan.entries, plan.total, dataPath, &compressedLength);
  if (status == ExitStatus::kOk) status = Assemble(options, stub, plan, dataPath, compressedLength);
  platform::RemoveFile(dataPath.c_str());
  if (status != ExitStatus::kOk) platform::RemoveFile(options.output.c_str());
  return status;
}

// A signed launcher would carry its certificate table in front of the
// payload, where no reader looks for it; signing is the last step.
bool IsSigned(const std::string& stub) {
  LmFileStream in;
  if (!in.OpenFile(stub.c_str(), 0) || !in.Seek(0, 2)) return false;
  int size = in.Tell();
  return size > 0 &&
         payload::PeCertificateTable::Find(&in, size).status() != payload::PeCertificateTable::Status::kNone;
}

}  // namespace

ExitStatus RunPack(const LmpackOptions& options) {
  std::string stub = options.stub.empty() ? FindStub(options.target) : options.stub;
  if (stub.empty()) {
    ReportError("no launcher for target " + options.target + " beside lmpack; name one with --stub");
    return ExitStatus::kUsage;
  }
  if (IsSigned(stub)) {
    ReportError(stub + ": the launcher is signed or damaged; pack the unsigned launcher and sign the setup afterwards");
    return ExitStatus::kRefused;
  }
  // The command line comes in the ANSI code page; the folder is walked by
  // its names as text.
  std::string folder;
  if (!platform::CodePageToUtf8(options.input, platform::GetAnsiCodePage(), &folder) ||
      platform::GetEntryInfoUtf8(folder.c_str()).type != platform::EntryType::kDirectory) {
    ReportError(options.input + ": not a directory");
    return ExitStatus::kRefused;
  }
  PackPlan plan;
  std::string problem;
  if (!ScanFolder(folder, &plan.entries, &problem)) {
    ReportError(problem);
    return ExitStatus::kRefused;
  }
  if (!MakeTable(options, &plan)) return ExitStatus::kRefused;
  // A branded launcher is staged beside the output and packed in its place.
  const std::string branded = options.output + ".lmpack-stub";
  ExitStatus status = WantsBranding(options) ? StageBrandedLauncher(options, stub, branded) : ExitStatus::kOk;
  if (status == ExitStatus::kOk) status = WriteSetup(options, WantsBranding(options) ? branded : stub, plan);
  if (WantsBranding(options)) platform::RemoveFile(branded.c_str());
  if (status == ExitStatus::kOk && !options.quiet) {
    printf("%s: %d entries, %llu bytes packed\n", options.output.c_str(), plan.table.GetCount(),
           static_cast<unsigned long long>(plan.total));
  }
  return status;
}
