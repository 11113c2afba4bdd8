// The benchmarks' clock: the performance counter, read as ticks and turned into milliseconds.
#pragma once

#include <windows.h>

namespace kxbench {

inline LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

inline double Ms(LONGLONG ticks) {
    static const LARGE_INTEGER f = [] { LARGE_INTEGER v; QueryPerformanceFrequency(&v); return v; }();
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(f.QuadPart);
}

// Milliseconds since an arbitrary start, for differences.
inline double NowMs() { return Ms(Now()); }

}  // namespace kxbench
