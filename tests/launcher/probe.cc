// The launch target of the end-to-end tests. It writes a report into its
// current directory, does what the files beside it ask, and exits with the
// code that "exitcode.txt" beside it holds.
//
// Report lines: self=, cmdline=, argc=, argv0=, cwd=, dir=RELATIVE,
// file=RELATIVE|SIZE|FNV1A-64 for everything under its own directory.
// Requests: "plant-link.txt" holds a directory to link to as "escape";
// "plant-readonly.txt" makes a read-only file "locked.txt".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fnv1a.h"
#include "platform.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string bytes;
  FILE* file = platform::OpenFile(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, n);
  fclose(file);
  return bytes;
}

void Walk(FILE* report, const std::string& root, const std::string& relative) {
  WIN32_FIND_DATAA data;
  std::string dir = relative.empty() ? root : root + "\\" + relative;
  HANDLE find = FindFirstFileA((dir + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string rel = relative.empty() ? name : relative + "\\" + name;
    std::string full = root + "\\" + rel;
    platform::EntryType type = platform::GetEntryInfo(full.c_str()).type;
    if (type == platform::EntryType::kDirectory) {
      fprintf(report, "dir=%s\n", rel.c_str());
      Walk(report, root, rel);
    } else {
      std::string bytes = ReadAll(full);
      fprintf(report, "file=%s|%zu|%016llx\n", rel.c_str(), bytes.size(), lmtest::Fnv1a(bytes));
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

}  // namespace

int main(int argc, char** argv) {
  char self[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, self, sizeof(self));
  std::string own(self);
  std::string dir = own.substr(0, own.find_last_of("\\/"));
  char cwd[MAX_PATH] = {0};
  GetCurrentDirectoryA(sizeof(cwd), cwd);

  std::string linkTarget = ReadAll(dir + "\\plant-link.txt");
  if (!linkTarget.empty()) platform::CreateLink((dir + "\\escape").c_str(), linkTarget.c_str(), true);
  if (!ReadAll(dir + "\\plant-readonly.txt").empty()) {
    std::string locked = dir + "\\locked.txt";
    FILE* file = platform::OpenFile(locked.c_str(), "wb");
    if (file != nullptr) {
      fputs("locked", file);
      fclose(file);
    }
    platform::Chmod(locked.c_str(), 0444);
  }

  FILE* report = platform::OpenFile("probe-report.txt", "wb");
  if (report == nullptr) return 99;
  fprintf(report, "self=%s\n", self);
  fprintf(report, "cmdline=%s\n", GetCommandLineA());
  fprintf(report, "argc=%d\n", argc);
  fprintf(report, "argv0=%s\n", argc > 0 ? argv[0] : "");
  fprintf(report, "cwd=%s\n", cwd);
  Walk(report, dir, "");
  fclose(report);
  return atoi(ReadAll(dir + "\\exitcode.txt").c_str());
}
