#include "common/Conversions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace chengfan::common {
namespace {

// Full-width forms as GBK pairs.
constexpr char kFullOne[] = "\xA3\xB1";
constexpr char kFullTwo[] = "\xA3\xB2";
constexpr char kFullMinus[] = "\xA3\xAD";
constexpr char kFullPoint[] = "\xA3\xAE";
constexpr char kFullE[] = "\xA3\xC5";
constexpr char kIdeographicSpace[] = "\xA1\xA1";

std::string s(const char* a, const char* b = "", const char* c = "", const char* d = "") {
    return std::string(a) + b + c + d;
}

TEST(TextToNumber, ReadsTheLongestDecimalPrefix) {
    struct Case {
        std::string text;
        double expected;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {"12abc", 12},
        {"   12abc", 12},
        {"\t12abc", 12},
        {" \n\v\f\r7", 7},
        {"3.0", 3},
        {"3.0\r\n", 3},
        {"-1", -1},
        {"+5", 5},
        {".5", 0.5},
        {"-.5", -0.5},
        {"5.", 5},
        {"1e3", 1000},
        {"1E3", 1000},
        {"1e", 1},
        {"1e+", 1},
        {"1e-2", 0.01},
        {"2.5e+1x", 25},
        {"1.2.3", 1.2},
        {"0x10", 0},
        {"1,000", 1},
        {"-", 0},
        {".", 0},
        {"+.e1", 0},
        {"- 1", 0},
        {"0.1", 0.1},
        {"123456789012345678901234567890", 123456789012345678901234567890.0},
        {"0.30000000000000004", 0.30000000000000004},
        {"nan", 0},
        {"inf", 0},
        {std::string("12\0" "34", 5), 12},
        // full-width forms fold to ASCII
        {s(kFullOne, kFullTwo), 12},
        {s(kFullMinus, kFullOne, kFullPoint, "5"), -1.5},
        {s("1", kFullE, "3"), 1000},
        {s(kIdeographicSpace, kFullOne), 1},
        // pairs are walked as pairs: a lead byte swallows the digit after it
        {"\x81" "5", 0},
        {"\xB0\xA3\xB1", 0},
        // a lone lead byte at the end is dropped
        {"5\xA3", 5},
        {"\xB6", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(textToNumber(c.text), c.expected);
    }
}

TEST(TextToNumber, ExponentsBeyondTheRangeOfADoubleSaturate) {
    EXPECT_EQ(textToNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(textToNumber("-1e400"), -HUGE_VAL);
    EXPECT_EQ(textToNumber("0.000001e-320"), 0.0);
    EXPECT_TRUE(std::signbit(textToNumber("-1e-400")));
    EXPECT_EQ(textToNumber("1e99999999999999999999999"), HUGE_VAL);
    EXPECT_EQ(textToNumber("0e99999999999"), 0.0);
    EXPECT_EQ(textToNumber("4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(textToNumber("1.7976931348623157e308"), std::numeric_limits<double>::max());
    // very long mantissas still round to the nearest double
    EXPECT_EQ(textToNumber("1" + std::string(400, '0') + "e-400"), 1.0);
    EXPECT_EQ(textToNumber("0." + std::string(350, '0') + "1e350"), 0.1);
    EXPECT_EQ(textToNumber(std::string(100000, '9')), HUGE_VAL);
}

TEST(NumberToText, PrintsThirteenSignificantDigitsWithAThreeDigitExponent) {
    struct Case {
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {2, "2"},
        {0, "0"},
        {-0.0, "0"},
        {-1, "-1"},
        {2.5, "2.5"},
        {-2.5, "-2.5"},
        {1.0 / 3.0, "0.3333333333333"},
        {2.0 / 3.0, "0.6666666666667"},
        {0.1 + 0.2, "0.3"},
        {1234567890123, "1234567890123"},
        {9999999999999, "9999999999999"},
        {9999999999999.5, "1e+013"},
        {10000000000000, "1e+013"},
        {12345678901234, "1.234567890123e+013"},
        {123456789012.5, "123456789012.5"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {0.00001, "1e-005"},
        {0.000099999999999999, "0.0001"},
        {1e100, "1e+100"},
        {-1.5e-300, "-1.5e-300"},
        {std::numeric_limits<double>::max(), "1.797693134862e+308"},
        {std::numeric_limits<double>::denorm_min(), "4.940656458412e-324"},
        {HUGE_VAL, "inf"},
        {-HUGE_VAL, "-inf"},
        {std::nan(""), "nan"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(numberToText(c.value), c.expected);
    }
}

// The C library's "%.13g" with its exponent widened to three digits is the
// reference; the test runs in the "C" locale, so its decimal mark is a point.
std::string referenceText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    std::string text = buffer;
    const auto e = text.find('e');
    if (e != std::string::npos) {
        std::string digits = text.substr(e + 2);
        while (digits.size() < 3) {
            digits.insert(digits.begin(), '0');
        }
        text = text.substr(0, e + 2) + digits;
    }
    return text;
}

TEST(NumberToText, AgreesWithTheCLibraryFormatOverManyValues) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    std::mt19937_64 random(20140910);
    std::uniform_int_distribution<int> power(-30, 30);
    std::uniform_int_distribution<long long> whole(-100000000000000LL, 100000000000000LL);
    for (int i = 0; i < 20000; ++i) {
        double value = 0;
        switch (i % 3) {
        case 0: {  // any bit pattern but NaN and infinity
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value)) {
                continue;
            }
            break;
        }
        case 1:  // whole numbers around the switch to the exponent form
            value = static_cast<double>(whole(random));
            break;
        default:  // decimal fractions at all scales
            value = static_cast<double>(whole(random)) * std::pow(10.0, power(random));
            break;
        }
        if (value == 0) {
            continue;
        }
        ASSERT_EQ(numberToText(value), referenceText(value)) << "bits of " << value;
    }
}

TEST(StepNumberText, StepsTheNumberThatTheTextReadsAs) {
    struct Case {
        std::string text;
        double step;
        const char* expected;
    };
    const Case cases[] = {
        {"1", +1, "2"},
        {"1", -1, "0"},
        {"0", -1, "-1"},
        {"", +1, "1"},
        {"", -1, "-1"},
        {"abc", +1, "1"},
        {"07", +1, "8"},
        {" 07 ", +1, "8"},
        {"2.5", +1, "3.5"},
        {kFullOne, +1, "2"},
        {"9999999999999", +1, "1e+013"},
        {"1e+013", -1, "9999999999999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " step " + std::to_string(c.step));
        EXPECT_EQ(stepNumberText(c.text, c.step), c.expected);
    }
}

TEST(LoopPeriod, TruncatesThenKeepsTheLowThirtyTwoBits) {
    struct Case {
        const char* minutes;
        std::int32_t period;
    };
    const Case cases[] = {
        {"5", 300000},
        {"0.5", 30000},
        {"35791", 2147460000},
        {"35792", -2147447296},
        {"71582", -47296},  // still negative: a stopped timer
        {"71583", 12704},
        {"1e20", 0},
        {"abc", 0},
        {"-1", -60000},
        {"0.00001", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.minutes);
        EXPECT_EQ(toPeriod32(truncateToInteger(textToNumber(c.minutes) * 60000.0)), c.period);
    }
}

TEST(TruncateToInteger, DropsTheFractionTowardZero) {
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    struct Case {
        double value;
        std::int64_t expected;
    };
    const Case cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {0.5, 0},
        {-0.5, 0},
        {9223372036854774784.0, 9223372036854774784LL},  // largest double below 2^63
        {9223372036854775808.0, kMin},                   // 2^63 does not fit
        {-9223372036854775808.0, kMin},                  // -2^63 fits exactly
        {-9223372036854777856.0, kMin},                  // next double below -2^63
        {1e20, kMin},
        {HUGE_VAL, kMin},
        {-HUGE_VAL, kMin},
        {std::nan(""), kMin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(truncateToInteger(c.value), c.expected);
    }
}

TEST(ToPeriod32, ReadsTheLowThirtyTwoBitsAsSigned) {
    EXPECT_EQ(toPeriod32(0), 0);
    EXPECT_EQ(toPeriod32(2147483647LL), 2147483647);
    EXPECT_EQ(toPeriod32(2147483648LL), -2147483647 - 1);
    EXPECT_EQ(toPeriod32(4294967296LL + 5), 5);
    EXPECT_EQ(toPeriod32(-1), -1);
    EXPECT_EQ(toPeriod32(std::numeric_limits<std::int64_t>::min()), 0);
}

TEST(DateTimeToText, ShrinksTheTimeFromTheRight) {
    struct Case {
        DateTime dateTime;
        const char* expected;
    };
    // 年 C4EA, 月 D4C2, 日 C8D5, 时 CAB1, 分 B7D6, 秒 C3EB
    const Case cases[] = {
        {{2014, 9, 10, 8, 5, 3}, "2014\xC4\xEA" "9\xD4\xC2" "10\xC8\xD5" "8\xCA\xB1" "5\xB7\xD6" "3\xC3\xEB"},
        {{2014, 9, 10, 8, 5, 0}, "2014\xC4\xEA" "9\xD4\xC2" "10\xC8\xD5" "8\xCA\xB1" "5\xB7\xD6"},
        {{2014, 9, 10, 8, 0, 0}, "2014\xC4\xEA" "9\xD4\xC2" "10\xC8\xD5" "8\xCA\xB1"},
        {{2014, 9, 10, 0, 0, 0}, "2014\xC4\xEA" "9\xD4\xC2" "10\xC8\xD5"},
        {{2014, 9, 10, 0, 0, 7}, "2014\xC4\xEA" "9\xD4\xC2" "10\xC8\xD5" "0\xCA\xB1" "0\xB7\xD6" "7\xC3\xEB"},
        {{2014, 9, 10, 0, 7, 0}, "2014\xC4\xEA" "9\xD4\xC2" "10\xC8\xD5" "0\xCA\xB1" "7\xB7\xD6"},
        {{2015, 1, 1, 23, 59, 59}, "2015\xC4\xEA" "1\xD4\xC2" "1\xC8\xD5" "23\xCA\xB1" "59\xB7\xD6" "59\xC3\xEB"},
        {{2015, 1, 1, 12, 0, 30}, "2015\xC4\xEA" "1\xD4\xC2" "1\xC8\xD5" "12\xCA\xB1" "0\xB7\xD6" "30\xC3\xEB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.expected)));
        EXPECT_EQ(dateTimeToText(c.dateTime), c.expected);
    }
}

TEST(CurrentDateTime, MatchesTheLocalClock) {
    // Read the clock on both sides; the result must be one of the two readings
    // (a second may tick over between them).
    auto local = [](std::time_t t) {
        std::tm tm{};
        localtime_r(&t, &tm);
        return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    };
    const std::time_t before = std::time(nullptr);
    const DateTime now = currentDateTime();
    const std::time_t after = std::time(nullptr);
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) {
        matched = matched || now == local(t);
    }
    EXPECT_TRUE(matched) << now.year << "-" << now.month << "-" << now.day << " " << now.hour << ":"
                         << now.minute << ":" << now.second;
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
}

TEST(BytesToText, TakesTheBytesBeforeTheFirstZero) {
    struct Case {
        Bytes bytes;
        std::string expected;
    };
    const Case cases[] = {
        {{}, ""},
        {{'A', 0, 'B'}, "A"},
        {{0, 'A'}, ""},
        {{'3', '.', '0', '\r', '\n'}, "3.0\r\n"},
        {{' ', 0xC4, 0xEA, 0x80, 0xFF}, " \xC4\xEA\x80\xFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.expected));
        EXPECT_EQ(bytesToText(c.bytes), c.expected);
    }
}

TEST(CompareTexts, ComparesBytesAsUnsignedValues) {
    struct Case {
        std::string a;
        std::string b;
        int expected;
    };
    const Case cases[] = {
        {"", "", 0},
        {"abc", "abc", 0},
        {"a", "b", -1},
        {"b", "a", +1},
        {"a", "ab", -1},
        {"ab", "a", +1},
        {"", " ", -1},
        {"A", "a", -1},           // no case folding
        {"\x80", "\x7F", +1},     // bytes above 0x7F are large, not negative
        {"\xC4\xEA", "\xC4\xEB", -1},
        {"2", "02", +1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.a) + " vs " + testing::PrintToString(c.b));
        EXPECT_EQ(compareTexts(c.a, c.b), c.expected);
    }
}

TEST(IsEmptyText, OnlyTheTextOfLengthZeroIsEmpty) {
    EXPECT_TRUE(isEmptyText(""));
    EXPECT_TRUE(isEmptyText(std::string_view()));
    EXPECT_FALSE(isEmptyText(" "));
    EXPECT_FALSE(isEmptyText("\xA1\xA1"));
    EXPECT_FALSE(isEmptyText("0"));
}

TEST(JoinTexts, JoinsThePiecesInOrder) {
    EXPECT_EQ(joinTexts({"C:\\dir", "\\Config.ini"}), "C:\\dir\\Config.ini");
    // 第 / 条任务保存成功
    EXPECT_EQ(joinTexts({"\xB5\xDA", "3", "\xCC\xF5\xC8\xCE\xCE\xF1"}), "\xB5\xDA" "3\xCC\xF5\xC8\xCE\xCE\xF1");
    EXPECT_EQ(joinTexts({"", "", ""}), "");
    EXPECT_EQ(joinTexts({"a", std::string_view(), "b"}), "ab");
    EXPECT_EQ(joinTexts({"only"}), "only");
}

// Restores the "C" locale however the test ends.
class CommaLocale : public testing::Test {
protected:
    ~CommaLocale() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(CommaLocale, NumbersIgnoreADecimalComma) {
    // The desktop may hand the program a locale whose decimal mark is a comma;
    // if it cannot be set here the test must fail, not pass without proving anything.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "locale de_DE.UTF-8 is missing: run scripts/install-deps.sh";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    ASSERT_EQ(std::strtod("0.5", nullptr), 0.0) << "the C library still reads a decimal point";

    EXPECT_EQ(textToNumber("0.5"), 0.5);
    EXPECT_EQ(textToNumber("0,5"), 0.0);
    EXPECT_EQ(textToNumber("1e-2"), 0.01);
    EXPECT_EQ(numberToText(2.5), "2.5");
    EXPECT_EQ(numberToText(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(numberToText(12345678901234), "1.234567890123e+013");
    EXPECT_EQ(stepNumberText("2.5", +1), "3.5");
    EXPECT_EQ(toPeriod32(truncateToInteger(textToNumber("0.5") * 60000.0)), 30000);
    EXPECT_EQ(dateTimeToText({2014, 9, 10, 8, 5, 3}),
              "2014\xC4\xEA" "9\xD4\xC2" "10\xC8\xD5" "8\xCA\xB1" "5\xB7\xD6" "3\xC3\xEB");
    EXPECT_EQ(compareTexts("\x80", "\x7F"), +1);
}

}  // namespace
}  // namespace chengfan::common
