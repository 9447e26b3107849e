// bench_clock.h - the benchmarks' one clock: the performance counter in microseconds.
#ifndef TARNWALL_BENCH_CLOCK_H
#define TARNWALL_BENCH_CLOCK_H

#include <windows.h>

inline double now_us() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

inline double now_ms() { return now_us() / 1e3; }

#endif
