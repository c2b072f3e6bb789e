/* The benchmark's launch target: records when it started (nanoseconds of
   the real-time clock) into "started" in its current directory, then exits.
   Written in C with nothing but the runtime, so that its own start costs
   as little as a program can. */
#include <stdio.h>
#include <time.h>
#ifdef _WIN32
#include <windows.h>
#endif

int main(void) {
  unsigned long long ns;
#ifdef _WIN32
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ns = ((((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime) - 116444736000000000ULL) * 100ULL;
#else
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  ns = (unsigned long long)now.tv_sec * 1000000000ULL + (unsigned long long)now.tv_nsec;
#endif
  FILE* f = fopen("started", "w");
  if (f) {
    fprintf(f, "%llu\n", ns);
    fclose(f);
  }
  return 0;
}
