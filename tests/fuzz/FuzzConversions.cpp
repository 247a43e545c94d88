// Fuzz target: textToNumber, numberToText and stepNumberText on arbitrary bytes.
// Beyond not crashing: a number's text, read back, stays within 13 significant
// digits of the number; the text is exactly C's "%.13g" with a three-digit
// exponent; and a plain ASCII text reads as C's strtod reads its decimal prefix.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "common/Conversions.h"

using chengfan::common::numberToText;
using chengfan::common::stepNumberText;
using chengfan::common::textToNumber;

namespace {

// "%.13g" in the C locale, the exponent widened to at least three digits.
std::string referenceText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    std::string text(buffer);
    const std::size_t e = text.find('e');
    if (e != std::string::npos) {
        const std::size_t digits = text.size() - (e + 2);
        if (digits < 3) text.insert(e + 2, 3 - digits, '0');
    }
    return text;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The longest decimal prefix of an ASCII text (blanks, sign, digits with one
// point, a complete exponent), or "" when there is none.
std::string decimalPrefix(std::string_view text) {
    std::size_t p = 0;
    while (p < text.size() && isBlank(text[p])) ++p;
    const std::size_t start = p;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
    int digits = 0;
    bool point = false;
    while (p < text.size() && (isDigit(text[p]) || (text[p] == '.' && !point))) {
        if (text[p] == '.') point = true; else ++digits;
        ++p;
    }
    if (digits == 0) return "";
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
        const std::size_t expDigits = q;
        while (q < text.size() && isDigit(text[q])) ++q;
        if (q > expDigits) p = q;
    }
    return std::string(text.substr(start, p - start));
}

void checkNumber(double x) {
    const std::string text = numberToText(x);
    FUZZ_CHECK(!text.empty(), "numberToText gave the empty text");
    if (!std::isfinite(x)) return;
    if (x == 0) {
        FUZZ_CHECK(text == "0" || text == "-0", "zero gave \"%s\"", text.c_str());
    } else {
        const std::string expected = referenceText(x);
        FUZZ_CHECK(text == expected, "numberToText(%.17g) = \"%s\", expected \"%s\"", x, text.c_str(),
                   expected.c_str());
    }
    const double back = textToNumber(text);
    // Rounding to 13 significant digits moves a value by at most half a unit of
    // the 13th digit, 5e-13 of its magnitude; reading the text back to the
    // nearest double adds up to half a unit in the last place.
    const double magnitude = std::abs(x);
    const double ulp = std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
    const double bound = 5.0e-13 * magnitude + ulp;
    FUZZ_CHECK(std::abs(back - x) <= bound, "%.17g -> \"%s\" -> %.17g", x, text.c_str(), back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const double x = textToNumber(text);
    FUZZ_CHECK(!std::isnan(x), "textToNumber gave NaN");
    checkNumber(x);

    // A plain ASCII text up to its terminator reads as strtod reads its prefix,
    // unless the value overflows or underflows.
    const std::string_view upToZero = text.substr(0, std::min(text.size(), text.find('\0')));
    bool ascii = true;
    for (char c : upToZero) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        const std::string prefix = decimalPrefix(upToZero);
        errno = 0;
        const double expected = prefix.empty() ? 0.0 : std::strtod(prefix.c_str(), nullptr);
        // Overflow and underflow are the reader's own choice; the rest must agree.
        if (errno != ERANGE) {
            FUZZ_CHECK(x == expected, "textToNumber(\"%s\") = %.17g, strtod says %.17g", prefix.c_str(), x,
                       expected);
        }
    }

    for (const double step : {1.0, -1.0}) {
        const std::string stepped = stepNumberText(text, step);
        FUZZ_CHECK(stepped == numberToText(x + step), "stepNumberText(%g) = \"%s\"", step, stepped.c_str());
    }

    // The first eight bytes as a double reach NaNs, infinities, subnormals and -0.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        checkNumber(raw);
    }
    return 0;
}
