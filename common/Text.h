#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace chengfan::common {

// A text is a byte string in the GBK code page (936). The empty text stands for
// absence everywhere: a missing INI value, an empty box and "no value" are the same.
using Text = std::string;

// The octets of a download, in order, zero bytes included.
using Bytes = std::vector<std::uint8_t>;

// Every number the handlers compute with: task numbers, counts, loop times, versions.
using Number = double;

// A local calendar date and time of day, to the whole second.
struct DateTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

}  // namespace chengfan::common
