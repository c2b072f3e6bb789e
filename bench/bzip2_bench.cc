// Times the bzip2 module on one file:
//   bzip2_bench decode FILE.bz2 WORKERS   decodes the whole file
//   bzip2_bench encode FILE LEVEL JOBS    compresses it (output discarded)
// and prints the wall time, the byte counts and, where the system reports
// it, the peak resident memory. One operation per run, so the peak belongs
// to it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bzip2/bzip2_reader.h"
#include "bzip2/bzip2_writer.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// "VmHWM" from /proc/self/status, or empty where there is none.
std::string PeakMemory() {
  FILE* status = fopen("/proc/self/status", "r");
  if (status == nullptr) return std::string();
  char line[256];
  std::string peak;
  while (fgets(line, sizeof(line), status) != nullptr) {
    if (strncmp(line, "VmHWM:", 6) == 0) {
      peak = line + 6;
      peak.erase(0, peak.find_first_not_of(" \t"));
      peak.erase(peak.find_last_not_of(" \t\n") + 1);
    }
  }
  fclose(status);
  return peak;
}

int64_t FileSize(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return -1;
  fseeko64(file, 0, SEEK_END);
  int64_t size = ftello64(file);
  fclose(file);
  return size;
}

int Decode(const char* path, int workers) {
  int64_t size = FileSize(path);
  auto start = std::chrono::steady_clock::now();
  Bzip2Reader reader;
  if (size < 0 || !reader.Open(path, 0, size, workers)) {
    fprintf(stderr, "bzip2_bench: cannot open %s\n", path);
    return 1;
  }
  std::vector<char> buffer(1 << 18);
  uint64_t total = 0;
  int n;
  while ((n = reader.Read(buffer.data(), static_cast<int>(buffer.size()))) > 0) total += static_cast<uint64_t>(n);
  double seconds = Seconds(start);
  if (n < 0) {
    fprintf(stderr, "bzip2_bench: %s: %s\n", path, reader.result().message().c_str());
    return 1;
  }
  bzip2::ParallelStats stats = reader.stats();
  printf("decode workers=%d seconds=%.3f in=%lld out=%llu threads=%d blocks=%d peak=%s\n", workers, seconds,
         static_cast<long long>(size), static_cast<unsigned long long>(total), stats.threads, stats.blocks,
         PeakMemory().c_str());
  return 0;
}

int Encode(const char* path, int level, int jobs) {
  FILE* in = fopen(path, "rb");
  if (in == nullptr) {
    fprintf(stderr, "bzip2_bench: cannot open %s\n", path);
    return 1;
  }
  auto start = std::chrono::steady_clock::now();
  Bzip2Writer writer(level, jobs, [](const char*, size_t) { return true; });
  std::vector<char> buffer(1 << 18);
  uint64_t total = 0;
  size_t n;
  bool ok = true;
  while (ok && (n = fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    ok = writer.Write(buffer.data(), n);
    total += n;
  }
  fclose(in);
  ok = ok && writer.Finish();
  double seconds = Seconds(start);
  if (!ok) {
    fprintf(stderr, "bzip2_bench: compression failed\n");
    return 1;
  }
  printf("encode level=%d jobs=%d seconds=%.3f in=%llu out=%llu peak=%s\n", level, jobs, seconds,
         static_cast<unsigned long long>(total), static_cast<unsigned long long>(writer.written()),
         PeakMemory().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "decode") == 0) return Decode(argv[2], atoi(argv[3]));
  if (argc == 5 && strcmp(argv[1], "encode") == 0) return Encode(argv[2], atoi(argv[3]), atoi(argv[4]));
  fprintf(stderr,
          "usage: bzip2_bench decode FILE.bz2 WORKERS\n"
          "       bzip2_bench encode FILE LEVEL JOBS\n");
  return 2;
}
