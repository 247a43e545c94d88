// A download killed with SIGKILL at random moments: the page at the save path
// must always be the earlier page or the whole new one, never a cut one.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "FaultServer.h"
#include "Figures.h"
#include "KilledWorker.h"
#include "TempDir.h"
#include "engine/PageFetch.h"

namespace chengfan::reliability {
namespace {

using chengfan::testing::readFileBytes;
using chengfan::testing::TempDir;
using chengfan::testing::writeFileBytes;

constexpr int kRounds = 60;
constexpr std::size_t kPageBytes = 256 << 10;  // sent in 16 pieces a millisecond apart

int removeUnfinishedFiles(const std::string& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename() != "page.html") {
            std::filesystem::remove(entry.path());
            ++count;
        }
    }
    return count;
}

TEST(PageKill, EveryKilledDownloadLeavesTheOldPageOrTheWholeNewOne) {
    FaultServer server;
    TempDir dir;
    const std::string page = dir.file("page.html");
    const std::string old = FaultServer::pattern(kPageBytes / 2, 1);
    const std::string fresh = FaultServer::pattern(kPageBytes, 2);
    const std::string url = server.url("/slow/" + std::to_string(kPageBytes) + "/2");
    writeFileBytes(page, old);

    std::mt19937 random(20261211);
    std::uniform_int_distribution<long> delayNs(0, 100'000'000);
    int sawOld = 0, sawNew = 0, unfinished = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(
            runUntilKilled([&] { engine::fetchAndSave(url, page); }, delayNs(random)));

        const std::string after = readFileBytes(page);
        if (after == old) {
            ++sawOld;
        } else {
            ASSERT_EQ(after.size(), fresh.size()) << "a cut page";
            ASSERT_TRUE(after == fresh) << "a page that is neither the old one nor the new one";
            ++sawNew;
        }
        unfinished += removeUnfinishedFiles(dir.path());
        writeFileBytes(page, old);
    }
    // A killed download leaves no file beside the page: the new page has no name
    // until it is complete. Only a kill between naming it and putting it in place
    // (a few microseconds) could leave one.
    EXPECT_LE(unfinished, kRounds / 10);
    reportFigures("PageKill", std::to_string(kRounds) + " downloading processes killed with SIGKILL: the page whole "
                                  "after every kill (" + std::to_string(sawOld) + " old, " + std::to_string(sawNew) +
                                  " new, 0 cut), 0 bytes lost; " + std::to_string(unfinished) +
                                  " unfinished temporary files left beside it by the kills");
}

}  // namespace
}  // namespace chengfan::reliability
