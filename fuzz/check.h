#pragma once
// What every fuzz target shares: the entry point libFuzzer calls and a check
// that stops the run with a readable message when a property fails (the
// abort makes libFuzzer keep the input as a crash file, and makes a replay
// test fail).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define ORVANE_FUZZ_TARGET extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)

#define FUZZ_CHECK(condition, what)                                                       \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "%s:%d: property failed: %s\n  (%s)\n", __FILE__,        \
                         __LINE__, what, #condition);                                     \
            std::abort();                                                                 \
        }                                                                                 \
    } while (false)
