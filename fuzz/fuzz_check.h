#pragma once
// What a fuzz target asserts beyond "no crash". A broken invariant aborts,
// which libFuzzer reports as a crash with the input that caused it, and the
// replay test (tests/fuzz) as a failure.
#include <cstdio>
#include <cstdlib>

#define KV9_FUZZ_REQUIRE(condition)                                                          \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)
