// Writes that cannot succeed: a full disk and a location that cannot be written.
// Every write must say so, and Config.ini and the pages saved earlier must stay
// byte for byte as they were, with no temporary file left beside them.
//
// Where the machine lets the test mount a small tmpfs, the disk is really full
// and really read-only. Where it does not, the faults come from a file-size
// limit (EFBIG, as a full disk gives ENOSPC), /dev/full and a path through a
// regular file; the figures say which path was taken.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FaultServer.h"
#include "Figures.h"
#include "TempDir.h"
#include "TmpfsMount.h"
#include "engine/PageFetch.h"
#include "store/TaskStore.h"

namespace chengfan::reliability {
namespace {

using chengfan::testing::namesIn;
using chengfan::testing::readFileBytes;
using chengfan::testing::TempDir;

common::Bytes bytesOf(const std::string& text) { return common::Bytes(text.begin(), text.end()); }

// The writes a run and the dialogs make, each expected to fail.
struct Attempt {
    const char* name;
    std::function<bool()> write;
};

// Lays down Config.ini and an earlier page in dir, applies the fault, then
// tries every write. Returns the figures.
class WriteFault : public ::testing::Test {
protected:
    void prepare(const std::string& dir) {
        store_ = std::make_unique<store::TaskStore>(dir);
        page_ = dir + "/page.html";
        ASSERT_TRUE(store_->writeUrl("1", server_.url("/page/3000/2")));
        ASSERT_TRUE(store_->writeSavePath("1", page_));
        ASSERT_TRUE(store_->writeTaskCount("1"));
        ASSERT_TRUE(store_->writeLoopMinutes("5"));
        ASSERT_TRUE(engine::writeBytesToFile(page_, bytesOf(FaultServer::pattern(2000, 1))));
        config_ = readFileBytes(store_->configPath());
        page0_ = readFileBytes(page_);
        names_ = namesIn(dir);
    }

    std::vector<Attempt> attempts() {
        const std::string big(6000, 'x');
        return {
            {"writeUrl of a new task", [this, big] { return store_->writeUrl("2", "http://127.0.0.1/" + big); }},
            {"writeUrl replacing task 1", [this, big] { return store_->writeUrl("1", "http://127.0.0.1/" + big); }},
            {"writeSavePath", [this, big] { return store_->writeSavePath("1", "/tmp/" + big); }},
            {"writeTaskCount", [this, big] { return store_->writeTaskCount("2" + big); }},
            {"writeLoopMinutes", [this, big] { return store_->writeLoopMinutes("10" + big); }},
            {"writeBytesToFile over the page",
             [this] { return engine::writeBytesToFile(page_, bytesOf(FaultServer::pattern(50000, 3))); }},
            {"fetchAndSave over the page",
             [this] { return engine::fetchAndSave(server_.url("/page/50000/3"), page_); }},
        };
    }

    // Runs every attempt; each must fail and leave everything as it was.
    int tryAll(const std::string& dir, long& bytesLost) {
        int refused = 0;
        for (const Attempt& attempt : attempts()) {
            SCOPED_TRACE(attempt.name);
            EXPECT_FALSE(attempt.write());
            const std::string config = readFileBytes(store_->configPath());
            const std::string page = readFileBytes(page_);
            EXPECT_TRUE(config == config_) << "Config.ini changed";
            EXPECT_TRUE(page == page0_) << "the earlier page changed";
            EXPECT_EQ(namesIn(dir), names_) << "a file appeared or went";
            if (config != config_) bytesLost += static_cast<long>(config_.size());
            if (page != page0_) bytesLost += static_cast<long>(page0_.size());
            ++refused;
        }
        EXPECT_EQ(store_->readUrl("1"), server_.url("/page/3000/2"));
        EXPECT_EQ(store_->readLoopMinutes(), "5");
        return refused;
    }

    FaultServer server_;
    TempDir dir_;
    std::unique_ptr<store::TaskStore> store_;
    std::string page_;
    std::string config_;
    std::string page0_;
    std::vector<std::string> names_;
};

TEST_F(WriteFault, AFullDiskRefusesEveryWriteAndKeepsWhatIsThere) {
    const std::string dir = dir_.file("disk");
    std::filesystem::create_directory(dir);
    TmpfsMount disk(dir, 64 * 1024);
    long bytesLost = 0;
    int refused = 0;
    std::string how;
    if (disk.mounted()) {
        prepare(dir);
        const std::size_t filler = disk.fill();
        ASSERT_GT(filler, 0u);
        names_ = namesIn(dir);
        refused = tryAll(dir, bytesLost);
        how = "a full 64 KiB tmpfs (filled with " + std::to_string(filler) + " bytes)";
    } else {
        prepare(dir);
        // Every file may hold no more than 1 KiB: a larger write fails as on a
        // full disk, and SIGXFSZ is ignored so the failure is an error code.
        struct sigaction ignore {}, previous {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &previous);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
        refused = tryAll(dir, bytesLost);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::sigaction(SIGXFSZ, &previous, nullptr);
        how = "a 1 KiB file-size limit (tmpfs mount refused: " + disk.failure() + ")";
    }
    // A device that is always full, named as the save path.
    EXPECT_FALSE(engine::writeBytesToFile("/dev/full", bytesOf("page")));
    EXPECT_FALSE(engine::fetchAndSave(server_.url("/page/100/2"), "/dev/full"));
    refused += 2;
    reportFigures("WriteFaultFullDisk", "full disk by " + how + " and /dev/full: " + std::to_string(refused) +
                                            " writes tried, " + std::to_string(refused) + " reported failure, " +
                                            std::to_string(bytesLost) + " bytes lost");
}

TEST_F(WriteFault, AnUnwritableLocationRefusesEveryWriteAndKeepsWhatIsThere) {
    long bytesLost = 0;
    int refused = 0;
    std::string how;

    // A read-only file system holding Config.ini and the page, where mounting is allowed.
    const std::string dir = dir_.file("disk");
    std::filesystem::create_directory(dir);
    {
        TmpfsMount disk(dir, 256 * 1024);
        if (disk.mounted()) {
            prepare(dir);
            if (disk.remountReadOnly()) {
                refused += tryAll(dir, bytesLost);
                how = "a read-only tmpfs";
            } else {
                how = "read-only remount refused";
            }
        } else {
            how = "read-only mount refused (" + disk.failure() + ")";
        }
    }

    // A run directory that is a regular file: nothing under it can be created.
    const std::string regular = dir_.file("regular");
    chengfan::testing::writeFileBytes(regular, "not a directory");
    const store::TaskStore through(regular);
    const std::string pageThrough = regular + "/page.html";
    const Attempt attempts[] = {
        {"writeUrl", [&] { return through.writeUrl("1", "http://127.0.0.1/"); }},
        {"writeSavePath", [&] { return through.writeSavePath("1", pageThrough); }},
        {"writeTaskCount", [&] { return through.writeTaskCount("1"); }},
        {"writeLoopMinutes", [&] { return through.writeLoopMinutes("5"); }},
        {"writeBytesToFile", [&] { return engine::writeBytesToFile(pageThrough, bytesOf("page")); }},
        {"fetchAndSave", [&] { return engine::fetchAndSave(server_.url("/page/100/2"), pageThrough); }},
    };
    for (const Attempt& attempt : attempts) {
        SCOPED_TRACE(attempt.name);
        EXPECT_FALSE(attempt.write());
        ++refused;
    }
    EXPECT_EQ(through.readUrl("1"), "");
    EXPECT_EQ(readFileBytes(regular), "not a directory");
    reportFigures("WriteFaultUnwritable", how + " and a path through a regular file: " + std::to_string(refused) +
                                              " writes tried, " + std::to_string(refused) + " reported failure, " +
                                              std::to_string(bytesLost) + " bytes lost");
}

}  // namespace
}  // namespace chengfan::reliability
