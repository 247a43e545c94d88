// Weeks of unattended running in virtual time: 100,000 run steps over 50 tasks,
// with a network that loses one download in seven and a user who now and then
// changes a task. The heap in use after the run equals what it was after a
// warm-up, every task is downloaded its share of times, and every page holds the
// last body that reached it.

#include <gtest/gtest.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define CHENGFAN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CHENGFAN_UNDER_ASAN 1
#endif
#endif
#ifdef CHENGFAN_UNDER_ASAN
// From the sanitizer runtime; GCC does not ship the header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include <unistd.h>

#include <array>
#include <filesystem>
#include <stdexcept>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "FakeBrowser.h"
#include "FakeClock.h"
#include "FakeMessages.h"
#include "FakeProgram.h"
#include "Figures.h"
#include "TempDir.h"  // readFileBytes
#include "common/KeptTexts.h"
#include "engine/MainWindowState.h"
#include "engine/PageFetch.h"
#include "engine/RunEngine.h"
#include "engine/TaskLoading.h"
#include "store/TaskStore.h"

namespace chengfan::reliability {
namespace {

using chengfan::testing::readFileBytes;
using engine::TimerId;

constexpr int kTasks = 50;
constexpr long kWarmUpSteps = 2000;
constexpr long kSoakSteps = 100000;

// Bytes the allocator has handed out and not had back.
std::size_t heapInUse() {
#ifdef CHENGFAN_UNDER_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// Six timers in virtual milliseconds that keep no history, so the fake itself
// does not grow over a long run.
class SoakTimers final : public engine::TimerDriver {
public:
    void startTimer(TimerId id, std::int32_t periodMs) override {
        Slot& slot = slots_[static_cast<int>(id)];
        slot = {true, periodMs, now_ + periodMs};
    }
    void stopTimer(TimerId id) override { slots_[static_cast<int>(id)].running = false; }

    // Moves time to the earliest due tick and returns its timer; false when no
    // timer runs. The timer's next tick is set one period on.
    bool nextTick(TimerId& id) {
        int best = -1;
        for (int i = 0; i < engine::kTimerCount; ++i) {
            if (slots_[i].running && (best < 0 || slots_[i].dueMs < slots_[best].dueMs)) best = i;
        }
        if (best < 0) return false;
        now_ = slots_[best].dueMs;
        slots_[best].dueMs += slots_[best].periodMs;
        id = static_cast<TimerId>(best);
        return true;
    }
    std::int64_t now() const { return now_; }

private:
    struct Slot {
        bool running = false;
        std::int32_t periodMs = 0;
        std::int64_t dueMs = 0;
    };
    std::array<Slot, engine::kTimerCount> slots_{};
    std::int64_t now_ = 0;
};

// Always connected; the update marker names an older version; one download in
// seven fails and writes nothing, the others write a body naming the task and
// the download's number through the real file write. Counts, never records.
class SoakNetwork final : public engine::NetworkService {
public:
    explicit SoakNetwork(std::string dir) : dir_(std::move(dir)) {}

    bool checkConnection() override { return true; }
    common::Bytes fetchUrl(const common::Text&) override { return {'1', '.', '0'}; }
    void fetchAndSave(const common::Text& url, const common::Text& savePath) override {
        ++downloads;
        const int task = std::stoi(url.substr(url.rfind('/') + 1));
        ++perTask[task];
        if (downloads % 7 == 0) {
            ++failed;
            return;
        }
        const std::string body = "task " + std::to_string(task) + " download " + std::to_string(downloads);
        if (engine::writeBytesToFile(savePath, common::Bytes(body.begin(), body.end()))) {
            lastBody[task] = body;
        } else {
            ++writeFailures;
        }
    }

    long downloads = 0;
    long failed = 0;
    long writeFailures = 0;
    std::array<long, kTasks + 1> perTask{};
    std::array<std::string, kTasks + 1> lastBody{};

private:
    std::string dir_;
};

// The pages and Config.ini live in memory where the machine has a tmpfs: the
// soak is about the run's own memory and bookkeeping, and a hundred thousand
// file replacements on a disk mounted with discard take minutes.
class SoakDirectory {
public:
    SoakDirectory() {
        std::string pattern = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/chengfan-soak-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~SoakDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

TEST(Soak, AHundredThousandStepsOverFiftyTasksKeepMemoryFlatAndLoseNothing) {
    SoakDirectory dir;
    const store::TaskStore store(dir.path());
    for (int task = 1; task <= kTasks; ++task) {
        const std::string key = std::to_string(task);
        ASSERT_TRUE(store.writeUrl(key, "http://127.0.0.1/page/" + key));
        ASSERT_TRUE(store.writeSavePath(key, dir.file("page" + key + ".html")));
    }
    ASSERT_TRUE(store.writeTaskCount(std::to_string(kTasks)));
    ASSERT_TRUE(store.writeLoopMinutes("10"));

    SoakTimers timers;
    SoakNetwork network(dir.path());
    chengfan::testing::FakeMessages messages;
    chengfan::testing::FakeBrowser browser;
    chengfan::testing::FakeProgram program;
    chengfan::testing::FakeClock clock;
    common::KeptTexts kept;
    engine::MainWindowState state(timers);
    engine::RunEngine run(state, store, kept, engine::Services{messages, network, browser, program, clock});

    engine::loadInitialTask(state, store, kept);
    run.runStep();  // Start
    long steps = 1;
    long edits = 0;
    const auto runUntil = [&](long target) {
        TimerId id{};
        while (steps < target && timers.nextTick(id)) {
            if (id == TimerId::timer1 || id == TimerId::timer2) {
                run.timerTick(id);
                ++steps;
                // Now and then the user edits a task while the run goes on, as the
                // edit window does between ticks.
                if (steps % 997 == 0) {
                    const std::string key = std::to_string(1 + steps % kTasks);
                    ASSERT_TRUE(store.writeUrl(key, "http://127.0.0.1/page/" + key));
                    ++edits;
                }
            }
        }
    };

    runUntil(kWarmUpSteps);
    const std::size_t heapBefore = heapInUse();
    const long rssBefore = statusKiB("VmRSS:");
    runUntil(kWarmUpSteps + kSoakSteps);
    const std::size_t heapAfter = heapInUse();
    const long rssAfter = statusKiB("VmRSS:");

    ASSERT_EQ(steps, kWarmUpSteps + kSoakSteps) << "the run stopped by itself";
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_FALSE(program.ended());
    EXPECT_EQ(network.downloads, steps);
    EXPECT_EQ(network.writeFailures, 0);
    long fewest = network.perTask[1], most = network.perTask[1];
    long bytesLost = 0;
    for (int task = 1; task <= kTasks; ++task) {
        fewest = std::min(fewest, network.perTask[task]);
        most = std::max(most, network.perTask[task]);
        const std::string page = readFileBytes(dir.file("page" + std::to_string(task) + ".html"));
        EXPECT_EQ(page, network.lastBody[task]) << "task " << task;
        if (page != network.lastBody[task]) bytesLost += static_cast<long>(network.lastBody[task].size());
    }
    EXPECT_LE(most - fewest, 1) << "tasks were not taken in turn";
    EXPECT_EQ(store.readTaskCount(), std::to_string(kTasks));

    // A steady run allocates and frees the same; what it holds between steps has a
    // fixed size. A few hundred bytes of slack cover texts whose length differs
    // between the two moments (the task number, the time of the last pass).
    const long growth = static_cast<long>(heapAfter) - static_cast<long>(heapBefore);
    EXPECT_LE(growth, 1024) << "heap in use grew by " << growth << " bytes";
    const double days = static_cast<double>(timers.now()) / 86400000.0;
    reportFigures("Soak", std::to_string(kSoakSteps) + " run steps after " + std::to_string(kWarmUpSteps) +
                              " warm-up steps over " + std::to_string(kTasks) + " tasks, " +
                              std::to_string(static_cast<long>(days)) + " days of virtual time, " +
                              std::to_string(network.failed) + " downloads failed by the fake network, " +
                              std::to_string(edits) + " task edits meanwhile; heap in use " +
                              std::to_string(heapBefore) + " -> " + std::to_string(heapAfter) + " bytes (growth " +
                              std::to_string(growth) + "), resident " + std::to_string(rssBefore) + " -> " +
                              std::to_string(rssAfter) + " KiB; tasks downloaded " + std::to_string(fewest) + ".." +
                              std::to_string(most) + " times each; " + std::to_string(bytesLost) + " bytes lost");
}

}  // namespace
}  // namespace chengfan::reliability
