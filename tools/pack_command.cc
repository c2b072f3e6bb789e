#include "tools/pack_command.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "core/lm_list.h"
#include "file/lm_file_stream.h"
#include "file/read_whole_file.h"
#include "payload/filenode.h"
#include "payload/integrity_record.h"
#include "payload/launch_arguments.h"
#include "payload/payload_format.h"
#include "payload/payload_writer.h"
#include "pe/pe_certificate_table.h"
#include "pe/pe_image.h"
#include "platform/code_page.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/utf8_files.h"
#include "tools/folder_scan.h"
#include "tools/inspect_commands.h"
#include "tools/lmpack_compressor.h"
#include "tools/name_encoding.h"
#include "tools/problem_list.h"
#include "tools/setup_branding.h"
#include "tools/stream_order.h"
#include "tools/windows_name_key.h"

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
  std::string name = target == "native" ? "lmsetup" : target == "windows-x64" ? "lmsetup64.exe" : "lmsetup.exe";
  std::string self;
  if (!platform::GetExecutablePath(&self)) return std::string();
  std::string here = DirectoryOf(self);
  for (const std::string& candidate : {here + "\\" + name, here + "\\..\\share\\lmsetup\\" + name}) {
    if (platform::GetEntryInfo(candidate.c_str()).type == platform::EntryType::kFile) return candidate;
  }
  return std::string();
}

struct PackPlan {
  std::vector<PackEntry> entries;      // in table order
  std::vector<BlockContent> contents;  // per entry, for xz: what it holds
  LmList<FILENODE> table;
  LmString launchName;
  uint64_t total = 0;  // bytes of file contents
};

// Checks the scanned entries as the launcher will, in the bytes the payload
// stores; every problem goes to *problems, and what a refused directory
// holds is left out.
void AddEntries(int codePage, PackPlan* plan, payload::PayloadTableChecker* checker, ProblemList* problems) {
  std::map<std::string, std::string> shownByFoldedName;
  std::vector<std::string> refused;
  for (const PackEntry& e : plan->entries) {
    if (IsUnder(e.relative, refused)) continue;
    const std::string shown = ShownPath(e.host);
    std::string bytes;
    Result result = EncodePayloadPath(e.relative, codePage, &bytes);
    FILENODE node{LmString(bytes.c_str()), e.kind, static_cast<uint32_t>(e.size)};
    if (result.ok()) {
      // For Windows the name as Windows compares it: its characters, each
      // upper-cased, whatever code page stores them.
      const std::string key = codePage == kStoreAsIs ? payload::FoldCase(bytes) : WindowsNameKey(e.relative);
      auto twin = shownByFoldedName.emplace(key, shown);
      result = twin.second ? checker->Add(node)
                           : Result::Fail(Outcome::kBadInput,
                                          "its name differs from " + twin.first->second +
                                              " only in case; Windows cannot hold both, so a setup refuses them");
    }
    if (!result.ok()) {
      problems->Add(shown, result.message());
      if (e.kind == FILENODE::kDirectory) refused.push_back(e.relative);
      continue;
    }
    plan->table.AddTail(node);
    plan->total += e.size;
  }
}

// Checks the launch name as the launcher will; its problems go to *problems.
void SetLaunchName(const LmpackOptions& options, int codePage, const payload::PayloadTableChecker& checker,
                   PackPlan* plan, ProblemList* problems) {
  const std::string where = "--run " + options.run;
  std::string run = options.run;
  std::replace(run.begin(), run.end(), '/', '\\');
  std::string bytes;
  Result result = EncodePayloadPath(run, codePage, &bytes);
  if (!result.ok()) return problems->Add(where, result.message());
  plan->launchName = LmString(bytes.c_str());
  result = checker.CheckLaunchName(plan->launchName);
  if (!result.ok()) {
    return problems->Add(where, result.message() + " (it must be a regular file in " + options.input + ")");
  }
  if (options.ForWindows() && !IsWindowsLaunchable(run)) {
    problems->Add(where,
                  "Windows starts only a program (.exe, .com), a batch file (.bat, .cmd) or a Windows "
                  "Installer package (.msi) from a setup");
  }
}

// The files a pack writes beside its output: the compressed data, and the
// branded launcher.
std::string DataPath(const LmpackOptions& options) { return options.output + ".lmpack-data"; }
std::string BrandedStubPath(const LmpackOptions& options) { return options.output + ".lmpack-stub"; }

// The launch arguments record at the end of the table, when the options ask
// for arguments; its problems go to *problems. The command line comes in
// the ANSI code page; the text is stored as UTF-8, marked so where it goes
// beyond ASCII, so that it reads the same whatever code page the machine
// that runs the setup has.
void AddLaunchArguments(const LmpackOptions& options, PackPlan* plan, ProblemList* problems) {
  if (!options.WantsLaunchRecord()) return;
  payload::LaunchArguments arguments;
  if (options.passArguments) arguments.flags |= payload::kPassOwnArguments;
  if (options.waitTree) arguments.flags |= payload::kWaitForTree;
  // The text arrives through the ANSI code page: where the command line
  // held a character beyond it, the system changed it on the way in.
  Result result =
      !options.arguments.empty() && !platform::ArgumentsAreExact()
          ? Result::Fail(Outcome::kBadInput,
                         "the command line holds characters the ANSI code page cannot represent, which reach lmpack "
                         "changed; run lmpack under a code page that has them")
      : platform::CodePageToUtf8(options.arguments, platform::GetAnsiCodePage(), &arguments.fixed)
          ? Result()
          : Result::Fail(Outcome::kBadInput, "the text cannot be read");
  for (char c : arguments.fixed) {
    if (static_cast<unsigned char>(c) >= 0x80) arguments.flags |= payload::kUtf8Text;
  }
  // The stored bytes are checked again: UTF-8 may be longer.
  const char* problem = result.ok() ? payload::ArgumentsProblem(arguments.fixed) : nullptr;
  if (problem != nullptr) result = Result::Fail(Outcome::kBadInput, problem);
  if (!result.ok()) return problems->Add("--arguments", result.message());
  PayloadWriter::AppendLaunchArguments(arguments, &plan->table);
}

// What a Windows image of COFF machine `machine` is, for messages.
const char* LauncherKind(uint32_t machine) {
  if (machine == pe::PeImage::kMachineAmd64) return "a 64-bit (x86-64) Windows launcher";
  if (machine == pe::PeImage::kMachineI386) return "a 32-bit (x86) Windows launcher";
  return "a Windows program for another processor";
}

// Whether `stub` is a launcher for `target`: a Windows target takes a
// Windows program for its processor, never a native launcher. The native
// target takes whatever the system runs.
Result CheckStubMachine(const std::string& stub, const LmpackOptions& options) {
  if (!options.ForWindows()) return Result();
  const bool x64 = options.target == "windows-x64";
  const uint32_t machine = x64 ? pe::PeImage::kMachineAmd64 : pe::PeImage::kMachineI386;
  const std::string takes = "; --target " + options.target + " takes " + LauncherKind(machine);
  pe::PeImage image;
  if (!pe::PeImage::Read(ReadWholeFile(stub), &image).ok()) {
    return Result::Fail(Outcome::kBadInput, stub + ": not a Windows program (a native launcher?)" + takes);
  }
  if (image.machine() == machine && image.pe32Plus() == x64) return Result();
  return Result::Fail(Outcome::kBadInput, stub + " is " + LauncherKind(image.machine()) + takes);
}

// A setup with a launch arguments record needs a launcher that reads it:
// one from before the record would start the program without its
// arguments, or not wait for its processes.
Result CheckStubReadsArguments(const std::string& stub, const LmpackOptions& options) {
  if (!options.WantsLaunchRecord()) return Result();
  if (ReadWholeFile(stub).find(payload::kReadsArgumentsMark) != std::string::npos) return Result();
  return Result::Fail(Outcome::kBadInput, stub +
                                              ": this launcher does not read launch arguments and would start the "
                                              "program without them; pack with a launcher of this version");
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
Result Assemble(const LmpackOptions& options, const std::string& stub, const PackPlan& plan,
                const std::string& dataPath, int64_t compressedLength) {
  LmFileStream out;
  if (!out.OpenFile(options.output.c_str(), 1))
    return Result::Fail(Outcome::kCannotMake, options.output + ": cannot create");
  unsigned char head[4] = {0, 0, 0, 0};
  int headLength = 0;
  int64_t imageSize = 0;
  if (!CopyFile(stub, &out, &imageSize, head, &headLength)) {
    return Result::Fail(Outcome::kUnreadable, stub + ": cannot read the launcher");
  }
  int64_t tableSize = PayloadWriter::TableSize(plan.launchName, plan.table);
  int padding = options.ForWindows() ? PayloadWriter::PaddingForSigning(imageSize, tableSize, compressedLength) : 0;
  std::vector<char> zeros(static_cast<size_t>(padding) + 1, '\0');
  int64_t payloadOffset = imageSize + padding + payload::IntegrityRecord::kSize;
  LmFileStream data;
  bool ok =
      out.Write(zeros.data(), padding) == padding &&
      payloadOffset + tableSize + compressedLength + payload::kTrailerSize <= payload::kMaxSetupBytes &&
      data.OpenFile(dataPath.c_str(), 0) &&
      PayloadWriter::WritePayload(&out, plan.launchName, plan.table, &data, static_cast<int32_t>(compressedLength));
  ok = out.Close() && ok;
  // The output is a program wherever the launcher is one.
  ok = ok && platform::MarkIfExecutable(options.output.c_str(), head, headLength, false) == 0;
  return ok ? Result() : Result::Fail(Outcome::kWriteFault, options.output + ": cannot write");
}

// What the setup's size limit leaves for the compressed data once the
// launcher, the padding, the record, the table and the trailer are counted.
uint64_t CompressedLimit(const std::string& stub, const PackPlan& plan) {
  const int64_t rest = static_cast<int64_t>(platform::GetEntryInfo(stub.c_str()).size) + 7 +
                       payload::IntegrityRecord::kSize + PayloadWriter::TableSize(plan.launchName, plan.table) +
                       payload::kTrailerSize;
  return rest < payload::kMaxSetupBytes ? static_cast<uint64_t>(payload::kMaxSetupBytes - rest) : 0;
}

Result WriteSetup(const LmpackOptions& options, const std::string& stub, const PackPlan& plan) {
  const std::string dataPath = DataPath(options);
  int64_t compressedLength = 0;
  Result result =
      CompressFiles(options, plan.entries, plan.contents, CompressedLimit(stub, plan), dataPath, &compressedLength);
  if (result.ok()) result = Assemble(options, stub, plan, dataPath, compressedLength);
  if (platform::MemoryRanOut()) result = Result::Fail(Outcome::kNoMemory, "out of memory");
  platform::RemoveFile(dataPath.c_str());
  if (!result.ok()) platform::RemoveFile(options.output.c_str());
  return result;
}

// A signed launcher would carry its certificate table in front of the
// payload, where no reader looks for it; signing is the last step.
bool IsSigned(const std::string& stub) {
  LmFileStream in;
  if (!in.OpenFile(stub.c_str(), 0) || !in.Seek(0, 2)) return false;
  int size = in.Tell();
  return size > 0 && pe::PeCertificateTable::Find(&in, size).status() != pe::PeCertificateTable::Status::kNone;
}

// Every problem of the folder, its names and the launch name, reported at
// once; nothing is written.
Result PlanPack(const LmpackOptions& options, const std::string& folder, PackPlan* plan) {
  ProblemList problems;
  ScanFolder(folder, &plan->entries, &problems);
  // An xz payload groups similar files; bzip2's keeps name order, so that
  // its setups stay as they always were.
  if (options.codec == "xz") OrderForXz(&plan->entries, &plan->contents);
  const int codePage = options.ForWindows() ? options.codePage : kStoreAsIs;
  // Windows' rule is checked on the names' text (AddEntries); the checker
  // then holds the bytes to the rule of every system, whatever lmpack runs on.
  payload::PayloadTableChecker checker(payload::FoldCase);
  AddEntries(codePage, plan, &checker, &problems);
  SetLaunchName(options, codePage, checker, plan, &problems);
  AddLaunchArguments(options, plan, &problems);
  return problems.empty() ? Result() : problems.Report();
}

// The output of the pack under way, for RemovePartialSetup.
const LmpackOptions* packing = nullptr;

}  // namespace

void RemovePartialSetup() {
  if (packing == nullptr) return;
  platform::RemoveFile(DataPath(*packing).c_str());
  platform::RemoveFile(BrandedStubPath(*packing).c_str());
  platform::RemoveFile(packing->output.c_str());
}

Result RunPack(const LmpackOptions& options) {
  std::string stub = options.stub.empty() ? FindStub(options.target) : options.stub;
  if (stub.empty()) {
    return Result::Fail(Outcome::kUsage,
                        "no launcher for target " + options.target + " beside lmpack; name one with --stub");
  }
  if (IsSigned(stub)) {
    return Result::Fail(
        Outcome::kBadInput,
        stub + ": the launcher is signed or damaged; pack the unsigned launcher and sign the setup afterwards");
  }
  Result checked = CheckStubMachine(stub, options);
  if (checked.ok()) checked = CheckStubReadsArguments(stub, options);
  if (!checked.ok()) return checked;
  // The command line comes in the ANSI code page; the folder is walked by
  // its names as text.
  std::string folder;
  if (!platform::CodePageToUtf8(options.input, platform::GetAnsiCodePage(), &folder) ||
      platform::GetEntryInfoUtf8(folder.c_str()).type != platform::EntryType::kDirectory) {
    return Result::Fail(Outcome::kBadInput, options.input + ": not a directory");
  }
  // The whole folder is checked before anything is written.
  PackPlan plan;
  Result result = PlanPack(options, folder, &plan);
  if (result.ok() && platform::MemoryRanOut()) result = Result::Fail(Outcome::kNoMemory, "out of memory");
  if (!result.ok()) return result;
  // From here on files are written: the last resort removes them.
  packing = &options;
  // A branded launcher is staged beside the output and packed in its place.
  const bool branding = WantsBranding(options);
  const std::string branded = BrandedStubPath(options);
  if (branding) result = StageBrandedLauncher(options, stub, branded);
  if (result.ok()) result = WriteSetup(options, branding ? branded : stub, plan);
  if (branding) platform::RemoveFile(branded.c_str());
  if (result.ok() && !options.quiet) {
    PrintLine(options.output + ": " + std::to_string(CountEntries(plan.table)) + " entries, " +
              std::to_string(plan.total) + " bytes packed");
  }
  return result;
}
