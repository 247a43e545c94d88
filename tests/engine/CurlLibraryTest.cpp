#include "engine/CurlLibrary.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/BuildSettings.h"

namespace chengfan::engine {
namespace {

TEST(CurlLibrary, TheLibraryBuiltAgainstLoadsWithEveryEntryPoint) {
    CurlLibrary curl{};
    std::string error;
    ASSERT_TRUE(loadCurlLibrary(kCurlLibraryName, curl, error)) << error;
    EXPECT_NE(curl.easySetopt, nullptr);
    EXPECT_NE(curl.strequal, nullptr);
    EXPECT_TRUE(curl.strequal("HTTPS", "https"));
    ASSERT_NE(curlLibrary(), nullptr) << curlLibraryError();
}

// A broken installation says what is missing instead of crashing.
TEST(CurlLibrary, AMissingOrWrongLibraryIsReportedByName) {
    struct Case {
        const char* name;
        const char* said;
    };
    const Case cases[] = {
        {"libchengfan-no-such-curl.so.4", "libchengfan-no-such-curl.so.4"},
        {"libz.so.1", "libz.so.1 has no curl_global_init"},
    };
    for (const Case& c : cases) {
        CurlLibrary curl{};
        std::string error;
        EXPECT_FALSE(loadCurlLibrary(c.name, curl, error)) << c.name;
        EXPECT_NE(error.find(c.said), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace chengfan::engine
