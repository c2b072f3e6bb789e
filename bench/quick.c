/* The benchmark's launch target: records when it started (nanoseconds of
   the real-time clock) into "started" in its current directory, then exits.
   Written in C with nothing but the runtime, so that its own start costs
   as little as a program can. (MinGW-w64 supplies clock_gettime through its
   static winpthreads.) */
#include <stdio.h>
#include <time.h>

int main(void) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  FILE* f = fopen("started", "w");
  if (f) {
    fprintf(f, "%llu\n", (unsigned long long)now.tv_sec * 1000000000ULL + (unsigned long long)now.tv_nsec);
    fclose(f);
  }
  return 0;
}
