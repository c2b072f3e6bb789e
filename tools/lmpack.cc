// lmpack: turns a folder into one setup executable (a launcher with the
// folder appended as its payload), and lists or verifies such executables.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <algorithm>

#include "bzlib.h"
#include "filenode.h"
#include "lm_file.h"
#include "lm_file_stream.h"
#include "lm_list.h"
#include "payload_format.h"
#include "payload_reader.h"
#include "payload_writer.h"
#include "platform.h"

#ifndef LM_VERSION
#define LM_VERSION "0"
#endif
#ifndef LM_STUB_HINT_DIR
#define LM_STUB_HINT_DIR ""
#endif

namespace {

// Exit codes.
const int kExitOk = 0;
const int kExitRefused = 1;  // the folder cannot be packed, or the payload is damaged
const int kExitUsage = 2;
const int kExitIo = 3;       // a file could not be read or written

const char kUsage[] =
    "usage:\n"
    "  lmpack pack [--target windows|native] [--stub LAUNCHER] --run NAME -o OUT\n"
    "              [--level 1-9] [--quiet] FOLDER\n"
    "  lmpack list FILE\n"
    "  lmpack verify FILE\n"
    "  lmpack --help | --version\n"
    "\n"
    "pack    writes LAUNCHER followed by a payload holding every directory and\n"
    "        regular file under FOLDER (bzip2-compressed, names in byte order, so\n"
    "        the same folder always gives the same bytes). NAME is the program the\n"
    "        launcher starts, relative to FOLDER (for example bin\\setup.exe).\n"
    "        Without --stub the launcher for --target (default windows) is taken\n"
    "        from beside lmpack or from its install tree.\n"
    "list    prints the launch name, the payload offset, the compressed length\n"
    "        and the table of a setup executable.\n"
    "verify  checks everything list checks and decompresses the data, which must\n"
    "        hold exactly the table's files; writes nothing.\n"
    "\n"
    "exit codes: 0 success; 1 the folder cannot be packed or the payload is\n"
    "damaged; 2 wrong usage; 3 a file could not be read or written.\n";

struct Options {
  std::string command;
  std::string stub;
  std::string target = "windows";
  std::string run;
  std::string output;
  std::string input;
  int level = 9;
  bool quiet = false;
};

struct Entry {
  std::string relative;  // begins with '\'
  std::string host;      // the path on this machine
  uint32_t kind;
  uint64_t size;
};

void Error(const std::string& message) { fprintf(stderr, "lmpack: %s\n", message.c_str()); }

std::string DirectoryOf(const std::string& path) {
  size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string(".") : path.substr(0, at);
}

bool Exists(const std::string& path) {
  return platform::GetEntryInfo(path.c_str()).type == platform::EntryType::kFile;
}

std::string FindStub(const std::string& target) {
  std::string name = target == "native" ? "lmsetup" : "lmsetup.exe";
  char self[MAX_PATH] = {0};
  std::vector<std::string> candidates;
  if (GetModuleFileNameA(nullptr, self, sizeof(self)) > 0) {
    std::string here = DirectoryOf(self);
    candidates.push_back(here + "\\" + name);
    candidates.push_back(here + "\\..\\share\\lmsetup\\" + name);
  }
  std::string hint = LM_STUB_HINT_DIR;
  // A source checkout's build trees (build/native, build/win32).
  if (!hint.empty()) candidates.push_back(hint + "\\" + (target == "native" ? "native" : "win32") + "\\bin\\" + name);
  for (const std::string& candidate : candidates) {
    if (Exists(candidate)) return candidate;
  }
  return std::string();
}

// Lists FOLDER depth first: each directory before what it holds, names in
// byte order within a directory.
bool Scan(const std::string& hostDir, const std::string& relativeDir, std::vector<Entry>* entries) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((hostDir + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    Error("cannot list " + hostDir);
    return false;
  }
  do {
    if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0) names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string host = hostDir + "\\" + name;
    std::string relative = relativeDir + "\\" + name;
    if (!payload::IsSafeComponent(name.c_str(), name.size())) {
      Error(host + ": the name cannot be carried in a setup executable");
      return false;
    }
    platform::EntryInfo info = platform::GetEntryInfo(host.c_str());
    switch (info.type) {
      case platform::EntryType::kDirectory:
        entries->push_back({relative, host, FILENODE::kDirectory, 0});
        if (!Scan(host, relative, entries)) return false;
        break;
      case platform::EntryType::kFile:
        if (info.size >= (uint64_t{1} << 32)) {
          Error(host + ": files of 4 GiB or more cannot be packed");
          return false;
        }
        entries->push_back({relative, host, FILENODE::kFile, info.size});
        break;
      case platform::EntryType::kLink:
        Error(host + ": symbolic links cannot be packed");
        return false;
      default:
        Error(host + ": only directories and regular files can be packed");
        return false;
    }
  }
  return true;
}

class Progress {
 public:
  Progress(uint64_t total, bool quiet)
      : total_(total), show_(!quiet && total >= (8u << 20) && platform::IsTerminal(stderr)) {}
  void Add(uint64_t bytes) {
    done_ += bytes;
    uint64_t mib = done_ >> 20;
    if (show_ && mib != shown_) {
      shown_ = mib;
      fprintf(stderr, "\rlmpack: %llu of %llu MiB", static_cast<unsigned long long>(mib),
              static_cast<unsigned long long>(total_ >> 20));
    }
  }
  ~Progress() {
    if (show_) fprintf(stderr, "\n");
  }

 private:
  uint64_t total_;
  bool show_;
  uint64_t done_ = 0;
  uint64_t shown_ = ~uint64_t{0};
};

// Feeds bzip2 and writes what it produces.
class Compressor {
 public:
  Compressor(LmFileStream* out, int level) : out_(out) {
    memset(&stream_, 0, sizeof(stream_));
    ok_ = BZ2_bzCompressInit(&stream_, level, 0, 0) == BZ_OK;
  }
  ~Compressor() { BZ2_bzCompressEnd(&stream_); }

  bool Feed(const char* data, unsigned size) { return Run(data, size, BZ_RUN); }
  bool Finish() { return Run(nullptr, 0, BZ_FINISH); }
  uint64_t written() const { return written_; }
  const std::string& problem() const { return problem_; }
  // The exit status for the problem: too much data is the folder's fault,
  // anything else an I/O failure.
  int failureStatus() const { return tooLarge_ ? kExitRefused : kExitIo; }

 private:
  bool Run(const char* data, unsigned size, int action) {
    if (!ok_) return Fail("bzip2 cannot start");
    stream_.next_in = const_cast<char*>(data);
    stream_.avail_in = size;
    for (;;) {
      stream_.next_out = output_;
      stream_.avail_out = sizeof(output_);
      int result = BZ2_bzCompress(&stream_, action);
      if (result < 0) return Fail("bzip2 failed");
      int produced = static_cast<int>(sizeof(output_) - stream_.avail_out);
      if (out_->Write(output_, produced) != produced) return Fail("cannot write the output");
      written_ += static_cast<uint64_t>(produced);
      if (written_ >= (uint64_t{1} << 31)) {
        tooLarge_ = true;
        return Fail("the compressed data would reach 2 GiB");
      }
      if (action == BZ_FINISH ? result == BZ_STREAM_END : stream_.avail_in == 0) return true;
    }
  }
  bool Fail(const char* why) {
    problem_ = why;
    ok_ = false;
    return false;
  }

  LmFileStream* out_;
  bz_stream stream_;
  bool ok_;
  bool tooLarge_ = false;
  uint64_t written_ = 0;
  std::string problem_;
  char output_[1 << 16];
};

int Pack(const Options& options) {
  std::string stub = options.stub.empty() ? FindStub(options.target) : options.stub;
  if (stub.empty()) {
    Error("no launcher for target " + options.target + " beside lmpack; name one with --stub");
    return kExitUsage;
  }
  platform::EntryInfo root = platform::GetEntryInfo(options.input.c_str());
  if (root.type != platform::EntryType::kDirectory) {
    Error(options.input + ": not a directory");
    return kExitRefused;
  }
  std::vector<Entry> entries;
  if (!Scan(options.input, "", &entries)) return kExitRefused;

  payload::PayloadTableChecker checker;
  LmList<FILENODE> table;
  uint64_t total = 0;
  std::string problem;
  for (const Entry& e : entries) {
    FILENODE node{LmString(e.relative.c_str()), e.kind, static_cast<uint32_t>(e.size)};
    if (!checker.Add(node, &problem)) {
      Error(e.host + ": " + problem);
      return kExitRefused;
    }
    table.AddTail(node);
    total += e.size;
  }
  std::string run = options.run;
  std::replace(run.begin(), run.end(), '/', '\\');
  LmString launchName(run.c_str());
  if (!checker.CheckLaunchName(launchName, &problem)) {
    Error("--run " + options.run + ": " + problem + " (it must be a regular file in " + options.input + ")");
    return kExitRefused;
  }

  LmFileStream in;
  if (!in.OpenFile(stub.c_str(), 0)) {
    Error(stub + ": cannot open the launcher");
    return kExitIo;
  }
  LmFileStream out;
  if (!out.OpenFile(options.output.c_str(), 1)) {
    Error(options.output + ": cannot create");
    return kExitIo;
  }
  int status = kExitOk;
  std::vector<char> buffer(1 << 18);
  unsigned char head[4] = {0, 0, 0, 0};
  int headLength = 0;
  int n;
  while ((n = in.Read(buffer.data(), static_cast<int>(buffer.size()))) > 0) {
    for (int i = 0; i < n && headLength < 4; ++i) head[headLength++] = static_cast<unsigned char>(buffer[i]);
    if (out.Write(buffer.data(), n) != n) status = kExitIo;
  }
  in.Close();
  int payloadOffset = out.Tell();
  int lengthPosition = 0;
  if (status == kExitOk && (payloadOffset <= 0 || !PayloadWriter::WriteTable(&out, launchName, &table, &lengthPosition))) {
    status = kExitIo;
  }
  if (status == kExitOk) {
    Compressor compressor(&out, options.level);
    Progress progress(total, options.quiet);
    for (const Entry& e : entries) {
      if (e.kind != FILENODE::kFile || status != kExitOk) continue;
      LmFileStream file;
      if (!file.OpenFile(e.host.c_str(), 0)) {
        Error(e.host + ": cannot read");
        status = kExitIo;
        break;
      }
      uint64_t read = 0;
      while ((n = file.Read(buffer.data(), static_cast<int>(buffer.size()))) > 0) {
        read += static_cast<uint64_t>(n);
        if (read > e.size || !compressor.Feed(buffer.data(), static_cast<unsigned>(n))) break;
        progress.Add(static_cast<uint64_t>(n));
      }
      if (!compressor.problem().empty()) {
        Error(compressor.problem());
        status = compressor.failureStatus();
      } else if (read != e.size || file.GetErrorCode() != 0) {
        Error(e.host + ": the file changed while it was packed");
        status = kExitIo;
      }
    }
    if (status == kExitOk && !compressor.Finish()) {
      Error(compressor.problem());
      status = compressor.failureStatus();
    }
    if (status == kExitOk &&
        !PayloadWriter::Finish(&out, lengthPosition, static_cast<int32_t>(compressor.written()), payloadOffset)) {
      status = kExitIo;
    }
  }
  if (!out.Close() && status == kExitOk) status = kExitIo;
  // The output is a program wherever the launcher is one.
  if (status == kExitOk && platform::MarkIfExecutable(options.output.c_str(), head, headLength, false) != 0) {
    status = kExitIo;
  }
  if (status != kExitOk) {
    if (status == kExitIo) Error(options.output + ": cannot write");
    platform::RemoveFile(options.output.c_str());
    return status;
  }
  if (!options.quiet) {
    printf("%s: %d entries, %llu bytes packed\n", options.output.c_str(), table.GetCount(),
           static_cast<unsigned long long>(total));
  }
  return kExitOk;
}

int OpenPayload(const std::string& path, LmFileStream* file, PayloadTable* table) {
  if (!file->OpenFile(path.c_str(), 0)) {
    Error(path + ": cannot open");
    return kExitIo;
  }
  std::string problem;
  if (PayloadReader::ReadTable(file, table, &problem) != PayloadResult::kOk) {
    Error(path + ": damaged or missing payload: " + problem);
    return kExitRefused;
  }
  return kExitOk;
}

int List(const Options& options) {
  LmFileStream file;
  PayloadTable table;
  int status = OpenPayload(options.input, &file, &table);
  if (status != kExitOk) return status;
  printf("launch name: %s\n", table.launchName.GetText());
  printf("payload offset: %d\n", table.payloadOffset);
  printf("compressed length: %d\n", table.compressedLength);
  printf("entries: %d\n", table.entries.GetCount());
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& e = node->value;
    const char* kind = e.kind == FILENODE::kFile ? "file" : e.kind == FILENODE::kDirectory ? "dir" : "other";
    printf("%-5s %10u %s\n", kind, e.size, e.path.GetText());
  }
  return kExitOk;
}

int Verify(const Options& options) {
  LmFileStream file;
  PayloadTable table;
  int status = OpenPayload(options.input, &file, &table);
  if (status != kExitOk) return status;
  bz_stream stream;
  memset(&stream, 0, sizeof(stream));
  if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) return kExitIo;
  std::vector<char> input(CHUNK_SIZE), output(1 << 16);
  int32_t remaining = table.compressedLength;
  uint64_t produced = 0;
  int result = BZ_OK;
  std::string problem;
  while (result == BZ_OK) {
    if (stream.avail_in == 0 && remaining > 0) {
      int chunk = remaining < CHUNK_SIZE ? remaining : CHUNK_SIZE;
      int n = file.Read(input.data(), chunk);
      if (n != chunk) {
        problem = "the compressed data cannot be read";
        break;
      }
      remaining -= n;
      stream.next_in = input.data();
      stream.avail_in = static_cast<unsigned>(n);
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<unsigned>(output.size());
    result = BZ2_bzDecompress(&stream);
    produced += output.size() - stream.avail_out;
    if (result == BZ_OK && stream.avail_in == 0 && remaining == 0 && stream.avail_out != 0) {
      problem = "the compressed data ends before the end of its bzip2 stream";
      break;
    }
  }
  BZ2_bzDecompressEnd(&stream);
  if (problem.empty() && result != BZ_STREAM_END) problem = "the compressed data is corrupt (bzip2 error " + std::to_string(result) + ")";
  if (problem.empty() && (remaining != 0 || stream.avail_in != 0)) problem = "data follows the end of the bzip2 stream";
  if (problem.empty() && produced != table.unpackedSize) {
    problem = "the data holds " + std::to_string(produced) + " bytes where the table promises " +
              std::to_string(table.unpackedSize);
  }
  if (!problem.empty()) {
    Error(options.input + ": " + problem);
    return kExitRefused;
  }
  printf("%s: OK, %d entries, %llu bytes in %d compressed\n", options.input.c_str(), table.entries.GetCount(),
         static_cast<unsigned long long>(produced), table.compressedLength);
  return kExitOk;
}

int ParseOptions(int argc, char** argv, Options* options) {
  if (argc < 2) {
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  options->command = argv[1];
  if (options->command == "--help" || options->command == "-h") {
    fputs(kUsage, stdout);
    return -1;
  }
  if (options->command == "--version") {
    printf("lmpack %s\n", LM_VERSION);
    return -1;
  }
  if (options->command != "pack" && options->command != "list" && options->command != "verify") {
    Error("unknown command " + options->command);
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= argc) return false;
      *into = argv[++i];
      return true;
    };
    std::string level;
    bool ok = true;
    if (arg == "--stub") {
      ok = value(&options->stub);
    } else if (arg == "--target") {
      ok = value(&options->target) && (options->target == "windows" || options->target == "native");
    } else if (arg == "--run") {
      ok = value(&options->run);
    } else if (arg == "-o" || arg == "--output") {
      ok = value(&options->output);
    } else if (arg == "--level") {
      ok = value(&level) && level.size() == 1 && level[0] >= '1' && level[0] <= '9';
      if (ok) options->level = level[0] - '0';
    } else if (arg == "--quiet" || arg == "-q") {
      options->quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      ok = false;
    } else if (options->input.empty()) {
      options->input = arg;
    } else {
      ok = false;
    }
    if (!ok) {
      Error("bad argument " + arg);
      return kExitUsage;
    }
  }
  bool complete = !options->input.empty() &&
                  (options->command != "pack" || (!options->run.empty() && !options->output.empty()));
  if (!complete) {
    Error("missing arguments");
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int status = ParseOptions(argc, argv, &options);
  if (status == -1) return kExitOk;
  if (status != kExitOk) return status;
  if (options.command == "pack") return Pack(options);
  if (options.command == "list") return List(options);
  return Verify(options);
}
