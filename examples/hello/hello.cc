// The bundled example's program: what an installer would be. It reports
// where it runs and what it finds beside itself into "hello-report.txt" in
// its current directory, and exits with 0 when every file it expects is
// there with the right contents.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string bytes;
  FILE* file = platform::OpenFile(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.append(chunk, n);
  fclose(file);
  return bytes;
}

void List(FILE* report, const std::string& root, const std::string& relative) {
  WIN32_FIND_DATAA data;
  std::string dir = relative.empty() ? root : root + "\\" + relative;
  HANDLE find = FindFirstFileA((dir + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string rel = relative.empty() ? name : relative + "\\" + name;
    platform::EntryInfo info = platform::GetEntryInfo((root + "\\" + rel).c_str());
    if (info.type == platform::EntryType::kDirectory) {
      fprintf(report, "  %-28s <dir>\n", rel.c_str());
      List(report, root, rel);
    } else {
      fprintf(report, "  %-28s %llu bytes\n", rel.c_str(), static_cast<unsigned long long>(info.size));
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

}  // namespace

int main() {
  char self[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, self, sizeof(self));
  std::string own(self);
  std::string dir = own.substr(0, own.find_last_of("\\/"));
  FILE* report = platform::OpenFile("hello-report.txt", "wb");
  if (report == nullptr) return 2;
  fprintf(report, "program: %s\n", self);
  fprintf(report, "working directory: %s\n", dir.c_str());
  fprintf(report, "files found:\n");
  List(report, dir, "");
  std::string greeting = ReadAll(dir + "\\greeting.txt");
  fprintf(report, "greeting.txt says: %s", greeting.c_str());
  bool ok = greeting.compare(0, 5, "Hello") == 0 && !ReadAll(dir + "\\docs\\readme.txt").empty();
  fprintf(report, "result: %s\n", ok ? "all files present" : "files missing");
  fclose(report);
  return ok ? 0 : 1;
}
