#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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

// Bytes as a failure message shows them: printable ASCII as it is, every other
// byte (and the backslash, so the escapes stay unambiguous) as \xHH.
inline std::string printable(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        }
    }
    return out;
}
