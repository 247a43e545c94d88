#pragma once

#include <cstdio>
#include <cstdlib>

// A failed property ends the program with a message: libFuzzer records the
// input as a crash, the replay driver fails its test.
#define FUZZ_CHECK(condition, ...)                                                   \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "check failed at %s:%d: %s\n", __FILE__, __LINE__,  \
                         #condition);                                                \
            std::fprintf(stderr, __VA_ARGS__);                                       \
            std::fprintf(stderr, "\n");                                              \
            std::abort();                                                            \
        }                                                                            \
    } while (false)
