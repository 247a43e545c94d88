#include "common/Gbk.h"

#include <gtest/gtest.h>

#include <string>

#include "common/GbkTexts.h"

namespace chengfan::common {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

TEST(Gbk, FixedTextsConvertBothWays) {
    struct Case {
        const char* gbk;
        const char* utf8;
    };
    const Case cases[] = {
        {kSectionUrl, "动态网址"},
        {kSectionSavePath, "储存地址"},
        {kSectionLoopTime, "循环时间"},
        {kKeyLoopTime, "时间"},
        {kSectionTaskCount, "ID"},
        {kLastRunInitial, "0年0月0日0时0分0秒"},
        {kMessageNoInternet, "没联网！请检查您的网络！"},
        {"", ""},
        {"C:\\\xB6\xAF\xCC\xAC\\a.html", "C:\\动态\\a.html"},
        {"\x80", "€"},  // code page 936 has the euro sign at 0x80
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8);
        EXPECT_EQ(gbkToUtf8Exact(c.gbk), std::optional<std::string>(c.utf8));
        EXPECT_EQ(utf8ToGbk(c.utf8), std::optional<std::string>(c.gbk));
    }
}

TEST(Gbk, InvalidBytesBecomeOneReplacementEachAndNothingElseIsLost) {
    struct Case {
        std::string gbk;
        std::string utf8;
    };
    const Case cases[] = {
        {"A\xFF" "B", std::string("A") + kReplacement + "B"},
        // a lead byte whose trail is plain ASCII: the ASCII byte survives
        {"\x81 x", std::string(kReplacement) + " x"},
        // a lone lead byte at the end
        {"AB\xB6", std::string("AB") + kReplacement},
        {"\xB6\xAF\xCC", std::string("动") + kReplacement},
        {"\xFF\xFF", std::string(kReplacement) + kReplacement},
        {"\xFF\xB6\xAF", std::string(kReplacement) + "动"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.gbk));
        EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8);
    }
}

TEST(Gbk, ExactConversionRefusesInvalidBytes) {
    for (const std::string gbk : {"A\xFF" "B", "\x81 x", "AB\xB6", "\xB6\xAF\xCC", "\xFF"}) {
        SCOPED_TRACE(testing::PrintToString(gbk));
        EXPECT_EQ(gbkToUtf8Exact(gbk), std::nullopt);
    }
}

TEST(Gbk, Utf8ThatGbkCannotHoldIsRefused) {
    const std::string cases[] = {
        "\xF0\x9F\x98\x80",           // an emoji
        "ok \xF0\x9F\x98\x80 ok",     // an emoji among valid text
        "\xC3",                       // truncated sequence
        "abc\xE5\x8A",                // truncated at the end
        "\xC0\xAF",                   // overlong slash
        "\xED\xA0\x80",               // a surrogate
        "\xFF",                       // never valid in UTF-8
        "\xEA\xB0\x80",               // a Hangul syllable, not in GBK
        std::string("a\0b", 3),       // a text ends at its first zero byte
    };
    for (const auto& utf8 : cases) {
        SCOPED_TRACE(testing::PrintToString(utf8));
        EXPECT_EQ(utf8ToGbk(utf8), std::nullopt);
    }
}

TEST(Gbk, LongTextsRoundTrip) {
    std::string gbk;
    std::string utf8;
    for (int i = 0; i < 5000; ++i) {
        gbk += kSectionUrl;
        gbk += std::to_string(i);
        utf8 += "动态网址" + std::to_string(i);
    }
    EXPECT_EQ(gbkToUtf8(gbk), utf8);
    EXPECT_EQ(utf8ToGbk(utf8), std::optional<std::string>(gbk));
    gbk += '\xFF';
    EXPECT_EQ(gbkToUtf8(gbk), utf8 + kReplacement);
}

// Every double-byte character either converts and comes back as the same two
// bytes, or is marked: none turns into a different character on the way back.
TEST(Gbk, EveryDoubleBytePairRoundTripsOrIsMarked) {
    int converted = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            const auto exact = gbkToUtf8Exact(pair);
            if (!exact) {
                EXPECT_NE(gbkToUtf8(pair).find(kReplacement), std::string::npos)
                    << std::hex << lead << " " << trail;
                continue;
            }
            ++converted;
            EXPECT_EQ(gbkToUtf8(pair), *exact);
            EXPECT_EQ(utf8ToGbk(*exact), std::optional<std::string>(pair)) << std::hex << lead << " " << trail;
        }
    }
    EXPECT_GT(converted, 21000);  // GBK holds 21886 double-byte characters
}

}  // namespace
}  // namespace chengfan::common
