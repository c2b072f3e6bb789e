// The launch target of the end-to-end tests. It writes a report into its
// current directory, does what the files beside it ask, and exits with the
// code that "exitcode.txt" beside it holds.
//
// Report lines: self=, cmdline=, cmdline8= (the command line in UTF-8,
// whatever the code page), acp= (its ANSI code page), argc=, argv0=, arg1= ... argN= (the
// arguments after its name, as its C runtime split them), cwd=, access= (who may
// reach its own directory: port_testing::AccessText), dir=RELATIVE,
// file=RELATIVE|SIZE|FNV1A-64, link=RELATIVE (not followed) for everything
// under its own directory.
// Requests: "plant-link.txt" holds a directory to link to as "escape";
// "plant-readonly.txt" makes a read-only file "locked.txt"; "hold.txt"
// holds a number of milliseconds for which a copy of the probe, left
// running, keeps "held.txt" beside it open.
//
// Started as "probe hold FILE MS", it is that copy: it keeps FILE open for
// MS milliseconds (Windows refuses to delete an open file, and its own
// program file while it runs), then writes "holder-done.txt" into its
// current directory.
//
// "tree.txt" beside it: a bootstrapper that hands off. It starts a copy of
// itself ("probe tree DIR") and exits 3 at once, writing no report; the
// copy waits 2 s, then writes "tree-report.txt" into its current directory:
// "found" when "tree.txt" was still there, else "missing".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "file/read_whole_file.h"
#include "file/walk_tree.h"
#include "platform/code_page.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/testing/port_testing.h"
#include "tests/support/fnv1a.h"

namespace {

void Walk(FILE* report, const std::string& root) {
  WalkTree(root, [&](const std::string& relative, const platform::EntryInfo& info) {
    if (info.type == platform::EntryType::kDirectory) {
      fprintf(report, "dir=%s\n", relative.c_str());
    } else if (info.type == platform::EntryType::kLink) {
      fprintf(report, "link=%s\n", relative.c_str());
    } else {
      std::string bytes = ReadWholeFile(root + "\\" + relative);
      fprintf(report, "file=%s|%zu|%016llx\n", relative.c_str(), bytes.size(), lmtest::Fnv1a(bytes));
    }
    return true;
  });
}

int Hold(const char* path, int milliseconds) {
  FILE* held = platform::OpenFile(path, "wb");
  platform::SleepMs(static_cast<uint32_t>(milliseconds));
  if (held != nullptr) fclose(held);
  FILE* done = platform::OpenFile("holder-done.txt", "wb");
  if (done != nullptr) fclose(done);
  return 0;
}

int TreeCopy(const std::string& dir) {
  platform::SleepMs(2000);
  const bool found = platform::GetEntryInfo((dir + "\\tree.txt").c_str()).type != platform::EntryType::kMissing;
  FILE* report = platform::OpenFile("tree-report.txt", "wb");
  if (report == nullptr) return 99;
  fputs(found ? "found" : "missing", report);
  fclose(report);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "hold") == 0) return Hold(argv[2], atoi(argv[3]));
  if (argc == 3 && strcmp(argv[1], "tree") == 0) return TreeCopy(argv[2]);
  std::string own;
  platform::GetExecutablePath(&own);
  std::string dir = own.substr(0, own.find_last_of("\\/"));
  if (platform::GetEntryInfo((dir + "\\tree.txt").c_str()).type != platform::EntryType::kMissing) {
    return port_testing::StartDetached(own, {"tree", dir}) == 0 ? 3 : 98;
  }
  std::string holdMs = ReadWholeFile(dir + "\\hold.txt");
  if (!holdMs.empty()) port_testing::StartDetached(own, {"hold", dir + "\\held.txt", holdMs});

  std::string linkTarget = ReadWholeFile(dir + "\\plant-link.txt");
  if (!linkTarget.empty()) port_testing::CreateLink((dir + "\\escape").c_str(), linkTarget.c_str(), true);
  if (!ReadWholeFile(dir + "\\plant-readonly.txt").empty()) {
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
  fprintf(report, "self=%s\n", own.c_str());
  fprintf(report, "cmdline=%s\n", port_testing::CommandLine(argc, argv).c_str());
  fprintf(report, "cmdline8=%s\n", port_testing::CommandLineUtf8(argc, argv).c_str());
  fprintf(report, "acp=%d\n", platform::GetAnsiCodePage());
  fprintf(report, "argc=%d\n", argc);
  fprintf(report, "argv0=%s\n", argc > 0 ? argv[0] : "");
  for (int i = 1; i < argc; ++i) fprintf(report, "arg%d=%s\n", i, argv[i]);
  fprintf(report, "cwd=%s\n", port_testing::CurrentDirectory().c_str());
  fprintf(report, "access=%s\n", port_testing::AccessText(dir).c_str());
  Walk(report, dir);
  fclose(report);
  return atoi(ReadWholeFile(dir + "\\exitcode.txt").c_str());
}
