#include "common/Conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <system_error>
#include <utility>

#include "common/GbkTexts.h"

namespace chengfan::common {

namespace {

// Byte classes by value, never through <cctype>: its answers follow the locale
// and would misread GBK lead and trail bytes.
bool isDigitByte(char c) { return c >= '0' && c <= '9'; }

bool isBlankByte(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Full-width digits, signs and point typed with a Chinese input method read as
// their ASCII counterparts.
std::string foldFullWidth(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead == 0) {
            break;  // the text ends at its terminator
        }
        if (lead < 0x80) {
            folded.push_back(static_cast<char>(lead));
            continue;
        }
        if (i + 1 >= text.size() || text[i + 1] == '\0') {
            break;  // a lone lead byte at the end is dropped
        }
        const auto trail = static_cast<unsigned char>(text[++i]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            folded.push_back(static_cast<char>(trail - 0x80));
        } else if (lead == 0xA1 && trail == 0xA1) {
            folded.push_back(' ');
        } else if (lead == 0xA1 && trail == 0xAB) {
            folded.push_back('~');
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            folded.push_back('*');
        } else {
            folded.push_back(static_cast<char>(lead));
            folded.push_back(static_cast<char>(trail));
        }
    }
    return folded;
}

// The decimal power of the first significant digit of a prefix whose value lies
// outside the range of a double; it tells overflow from underflow.
long long roughDecimalExponent(std::string_view mantissa, long long exponent) {
    long long position = 0;  // power of ten of the digit under the cursor
    const std::size_t point = mantissa.find('.');
    const std::size_t integerDigits = point == std::string_view::npos ? mantissa.size() : point;
    position = static_cast<long long>(integerDigits) - 1;
    for (char c : mantissa) {
        if (c == '.') {
            continue;
        }
        if (c != '0') {
            return position + exponent;
        }
        --position;
    }
    return std::numeric_limits<long long>::min();  // all zeros: the value is 0
}

void appendInt(Text& out, long long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

}  // namespace

Number textToNumber(std::string_view text) {
    const std::string folded = foldFullWidth(text);
    const char* const begin = folded.data();
    const char* const end = begin + folded.size();
    const char* p = begin;

    while (p != end && isBlankByte(*p)) {
        ++p;
    }
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* const mantissaBegin = p;
    int digits = 0;
    bool sawPoint = false;
    for (; p != end; ++p) {
        if (isDigitByte(*p)) {
            ++digits;
        } else if (*p == '.' && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    const char* const mantissaEnd = p;

    // An exponent counts only when complete: "1e" and "1e+" read as 1.
    long long exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool exponentNegative = false;
        if (q != end && (*q == '+' || *q == '-')) {
            exponentNegative = *q == '-';
            ++q;
        }
        if (q != end && isDigitByte(*q)) {
            for (; q != end && isDigitByte(*q); ++q) {
                if (exponent < 1'000'000'000) {  // saturate: far beyond any double
                    exponent = exponent * 10 + (*q - '0');
                }
            }
            if (exponentNegative) {
                exponent = -exponent;
            }
            p = q;
        }
    }
    const char* const prefixEnd = p;

    // from_chars ignores the locale and rounds to the nearest double.
    double magnitude = 0.0;
    const auto [ptr, error] =
        std::from_chars(mantissaBegin, prefixEnd, magnitude, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Beyond the range of a double: an overflow reads as infinity and an
        // underflow as zero, as the C library's strtod reads them.
        const long long power = roughDecimalExponent(
            std::string_view(mantissaBegin, static_cast<std::size_t>(mantissaEnd - mantissaBegin)),
            exponent);
        magnitude = power >= 0 ? HUGE_VAL : 0.0;
    } else if (error != std::errc() || ptr != prefixEnd) {
        magnitude = 0.0;  // cannot happen for the grammar checked above
    }
    return negative ? -magnitude : magnitude;
}

Text numberToText(Number value) {
    // Neither infinities nor NaN come from the arithmetic on finite texts; they
    // still print as a readable word rather than nothing.
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    // Negative zero prints as 0: a task number "-0" would be a new, odd key.
    if (value == 0.0) {
        return "0";
    }

    // Thirteen significant digits, correctly rounded, independent of the locale:
    // "d.dddddddddddde+X".
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, 12);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = scientific.find('e');
    std::string digits;
    digits.push_back(scientific[0]);
    digits.append(scientific.substr(2, e - 2));  // 13 digits in all
    int exponent = 0;
    const char* exponentBegin = buffer + e + 1;
    if (*exponentBegin == '+') {
        ++exponentBegin;
    }
    std::from_chars(exponentBegin, result.ptr, exponent);

    Text text;
    if (value < 0) {
        text.push_back('-');
    }
    auto stripZeros = [](std::string& fraction) {
        while (!fraction.empty() && fraction.back() == '0') {
            fraction.pop_back();
        }
    };

    if (exponent >= -4 && exponent <= 12) {
        std::string integerPart;
        std::string fraction;
        if (exponent >= 0) {
            integerPart = digits.substr(0, static_cast<std::size_t>(exponent) + 1);
            fraction = digits.substr(static_cast<std::size_t>(exponent) + 1);
        } else {
            integerPart = "0";
            fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        }
        stripZeros(fraction);
        text += integerPart;
        if (!fraction.empty()) {
            text.push_back('.');
            text += fraction;
        }
        return text;
    }

    std::string fraction = digits.substr(1);
    stripZeros(fraction);
    text.push_back(digits[0]);
    if (!fraction.empty()) {
        text.push_back('.');
        text += fraction;
    }
    text.push_back('e');
    text.push_back(exponent < 0 ? '-' : '+');
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 100) {
        text.push_back('0');
    }
    if (magnitude < 10) {
        text.push_back('0');
    }
    appendInt(text, magnitude);
    return text;
}

Text stepNumberText(std::string_view text, Number step) {
    return numberToText(textToNumber(text) + step);
}

std::int64_t truncateToInteger(Number value) {
    // The integer part fits exactly when -2^63 <= value < 2^63; NaN fails both.
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (!(value >= -kLimit && value < kLimit)) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

std::int32_t toPeriod32(std::int64_t value) {
    // Conversion to a signed type is modular since C++20: the low 32 bits, two's complement.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

DateTime currentDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return DateTime{};
    }
    return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

Text dateTimeToText(const DateTime& dateTime) {
    Text text;
    appendInt(text, dateTime.year);
    text += kYear;
    appendInt(text, dateTime.month);
    text += kMonth;
    appendInt(text, dateTime.day);
    text += kDay;
    // The time shrinks from the right: trailing zero fields are left out, and
    // midnight shows the date alone.
    const int shown = dateTime.second != 0 ? 3 : dateTime.minute != 0 ? 2 : dateTime.hour != 0 ? 1 : 0;
    const std::pair<int, const char*> timeFields[] = {
        {dateTime.hour, kHour}, {dateTime.minute, kMinute}, {dateTime.second, kSecond}};
    for (int i = 0; i < shown; ++i) {
        appendInt(text, timeFields[i].first);
        text += timeFields[i].second;
    }
    return text;
}

Text bytesToText(const Bytes& bytes) {
    // std::find rather than memchr: empty Bytes may hold a null data pointer,
    // which memchr must never be given.
    const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return Text(bytes.begin(), zero);
}

int compareTexts(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool isEmptyText(std::string_view text) { return compareTexts(text, std::string_view()) == 0; }

Text joinTexts(std::initializer_list<std::string_view> pieces) {
    std::size_t length = 0;
    for (std::string_view piece : pieces) {
        length += piece.size();
    }
    Text joined;
    joined.reserve(length);
    for (std::string_view piece : pieces) {
        joined.append(piece);
    }
    return joined;
}

}  // namespace chengfan::common
