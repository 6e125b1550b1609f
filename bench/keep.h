#pragma once

#include <benchmark/benchmark.h>

// DoNotOptimize through its read-only form only: with g++ the writable form of
// Google Benchmark 1.7 can hand a double on as garbage (every value read as 0).
template <class T> void keep(const T& value) {
    benchmark::DoNotOptimize(value);
}

// Seconds per item: the iteration rate times the items per iteration, inverted.
inline benchmark::Counter per_item(double items_per_iteration) {
    return benchmark::Counter(items_per_iteration, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
