// Config.ini written in a loop by a child process that is killed with SIGKILL at
// random moments: afterwards the file must exist and hold, byte for byte, either
// the state before the child ran or one state that the child wrote, never a mix
// or a truncation.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "Figures.h"
#include "KilledWorker.h"
#include "TempDir.h"
#include "common/GbkTexts.h"
#include "store/IniFile.h"
#include "store/TaskStore.h"

namespace chengfan::reliability {
namespace {

using chengfan::testing::readFileBytes;
using chengfan::testing::TempDir;

constexpr int kRounds = 200;
constexpr std::size_t kUrlLength = 6000;  // under the 10239-byte read limit

// The URL of write w in round r: long enough that a write takes a while, and
// every byte depends on (r, w), so a mix of two writes cannot pass for either.
std::string urlFor(int round, unsigned write) {
    std::string url = "http://127.0.0.1/r" + std::to_string(round) + "/w" + std::to_string(write) + "/";
    std::uint32_t x = static_cast<std::uint32_t>(round) * 2654435761u ^ (write + 1) * 40503u;
    while (url.size() < kUrlLength) {
        x = x * 1664525u + 1013904223u;
        url += static_cast<char>('a' + (x >> 24) % 26);
    }
    return url;
}

// (round, write) when the value is exactly one of the URLs above.
std::optional<std::pair<int, unsigned>> parseUrl(const std::string& value) {
    int round = 0;
    unsigned write = 0;
    if (std::sscanf(value.c_str(), "http://127.0.0.1/r%d/w%u/", &round, &write) != 2) return std::nullopt;
    if (value != urlFor(round, write)) return std::nullopt;
    return std::make_pair(round, write);
}

int removeTemporaryFiles(const std::string& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind("Config.ini.", 0) == 0) {
            std::filesystem::remove(entry.path());
            ++count;
        }
    }
    return count;
}

TEST(ConfigKill, EveryKilledWriteLeavesTheOldFileOrTheNewOneWhole) {
    TempDir dir;
    const store::TaskStore store(dir.path());
    // A file as the program writes it: twenty tasks, the count and the loop time.
    for (int task = 1; task <= 20; ++task) {
        const std::string key = std::to_string(task);
        ASSERT_TRUE(store.writeUrl(key, "http://127.0.0.1/page" + key));
        ASSERT_TRUE(store.writeSavePath(key, dir.path() + "/page" + key + ".html"));
    }
    ASSERT_TRUE(store.writeTaskCount("20"));
    ASSERT_TRUE(store.writeLoopMinutes("5"));
    ASSERT_TRUE(store.writeUrl("1", urlFor(-1, 0)));
    const std::string base = readFileBytes(store.configPath());

    std::mt19937 random(20261211);
    std::uniform_int_distribution<long> delayNs(0, 20'000'000);
    std::string before = base;
    int unchanged = 0;
    int replaced = 0;
    int temporaryFilesLeft = 0;
    unsigned writesSeen = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        unsigned write = 0;  // counts on in the child
        ASSERT_NO_FATAL_FAILURE(runUntilKilled(
            [&] { store.writeUrl("1", urlFor(round, write++)); }, delayNs(random)));

        const std::string after = readFileBytes(store.configPath());
        ASSERT_FALSE(after.empty()) << "Config.ini is missing or empty";
        if (after == before) {
            ++unchanged;
        } else {
            const std::optional<std::string> url = store::iniLookup(after, common::kSectionUrl, "1");
            ASSERT_TRUE(url.has_value()) << "task 1 is gone";
            const auto written = parseUrl(*url);
            ASSERT_TRUE(written.has_value()) << "task 1 holds a URL nobody wrote";
            ASSERT_EQ(written->first, round);
            // Besides task 1 every byte is as before.
            ASSERT_EQ(after, store::iniUpdate(base, common::kSectionUrl, "1", *url));
            writesSeen += written->second + 1;
            ++replaced;
        }
        EXPECT_EQ(store.readTaskCount(), "20");
        EXPECT_EQ(store.readUrl("20"), "http://127.0.0.1/page20");
        temporaryFilesLeft += removeTemporaryFiles(dir.path());
        before = after;
    }
    // A killed writer leaves no file beside Config.ini: the new content has no
    // name until it is complete. Only a kill between naming it and putting it in
    // place (a few microseconds) could leave one.
    EXPECT_LE(temporaryFilesLeft, kRounds / 10);
    reportFigures("ConfigKill",
                  std::to_string(kRounds) + " writer processes killed with SIGKILL, at least " +
                      std::to_string(writesSeen) + " whole writes completed; Config.ini whole after every kill (" +
                      std::to_string(unchanged) + " old, " + std::to_string(replaced) +
                      " new, 0 mixed or cut), 0 bytes lost; " + std::to_string(temporaryFilesLeft) +
                      " unfinished temporary files left beside it by the kills");
}

}  // namespace
}  // namespace chengfan::reliability
