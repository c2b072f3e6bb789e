// The bundled example's program: what an installer would be. It reports
// where it runs and what it finds beside itself into "hello-report.txt" in
// its current directory, and exits with 0 when every file it expects is
// there with the right contents.
#include <cstdio>
#include <cstring>
#include <string>

#include "file/read_whole_file.h"
#include "file/walk_tree.h"
#include "platform/platform.h"
#include "platform/process.h"

namespace {

void List(FILE* report, const std::string& root) {
  WalkTree(root, [report](const std::string& relative, const platform::EntryInfo& info) {
    if (info.type == platform::EntryType::kDirectory) {
      fprintf(report, "  %-28s <dir>\n", relative.c_str());
    } else {
      fprintf(report, "  %-28s %llu bytes\n", relative.c_str(), static_cast<unsigned long long>(info.size));
    }
    return true;
  });
}

}  // namespace

int main() {
  std::string own;
  platform::GetExecutablePath(&own);
  std::string dir = own.substr(0, own.find_last_of("\\/"));
  FILE* report = platform::OpenFile("hello-report.txt", "wb");
  if (report == nullptr) return 2;
  fprintf(report, "program: %s\n", own.c_str());
  fprintf(report, "working directory: %s\n", dir.c_str());
  fprintf(report, "files found:\n");
  List(report, dir);
  std::string greeting = ReadWholeFile(dir + "\\greeting.txt");
  fprintf(report, "greeting.txt says: %s", greeting.c_str());
  bool ok = greeting.compare(0, 5, "Hello") == 0 && !ReadWholeFile(dir + "\\docs\\readme.txt").empty();
  fprintf(report, "result: %s\n", ok ? "all files present" : "files missing");
  fclose(report);
  return ok ? 0 : 1;
}
