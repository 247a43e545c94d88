// Config.ini as a user, another program or a damaged disk may leave it: huge
// lines, zero bytes, bytes that are not GBK, thousands of sections, numbers out
// of range. Reads give the values a reader can make sense of, writes still work
// and keep every other byte, and the numbers derived from the texts stay sane.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "EngineRig.h"
#include "Figures.h"
#include "TempDir.h"
#include "common/Conversions.h"
#include "common/GbkTexts.h"
#include "engine/TaskLoading.h"
#include "store/IniFile.h"
#include "store/TaskStore.h"

namespace chengfan::reliability {
namespace {

using namespace std::string_literals;
using chengfan::testing::readFileBytes;
using chengfan::testing::TempDir;
using chengfan::testing::writeFileBytes;
using Clock = std::chrono::steady_clock;

const std::string kUrl = common::kSectionUrl;
const std::string kSave = common::kSectionSavePath;
const std::string kLoop = common::kSectionLoopTime;
const std::string kLoopKey = common::kKeyLoopTime;

// A file the program could have written, for the cases to disturb.
std::string programFile(const std::string& count = "2", const std::string& loop = "5") {
    return "[" + kUrl + "]\r\n1=http://127.0.0.1/1\r\n2=http://127.0.0.1/2\r\n[" + kSave +
           "]\r\n1=/tmp/1.html\r\n2=/tmp/2.html\r\n[ID]\r\nID=" + count + "\r\n[" + kLoop + "]\r\n" + kLoopKey +
           "=" + loop + "\r\n";
}

std::string manySections(int sections) {
    std::string out;
    for (int i = 0; i < sections; ++i) out += "[section" + std::to_string(i) + "]\r\nkey=value\r\n";
    return out;
}

struct Case {
    const char* name;
    std::string content;
    std::string url1;
    std::string count;
    std::string loop;
};

TEST(HostileConfig, ReadsMakeSenseAndWritesKeepEveryOtherByte) {
    const std::string megabyte(1 << 20, 'm');
    std::string megabyteValue = "http://127.0.0.1/" + std::string((1 << 20) - 17, 'u');
    const Case cases[] = {
        {"a megabyte line before the sections", megabyte + "\r\n" + programFile(), "http://127.0.0.1/1", "2", "5"},
        {"a megabyte line without a line end", programFile() + megabyte, "http://127.0.0.1/1", "2", "5"},
        {"a megabyte value: its first 10239 bytes",
         "[" + kUrl + "]\r\n1=" + megabyteValue + "\r\n[ID]\r\nID=1\r\n", megabyteValue.substr(0, 10239), "1", ""},
        {"zero bytes around the sections", "\0\0[x]\0\r\n"s + programFile() + "\0\0\0"s, "http://127.0.0.1/1", "2",
         "5"},
        {"a zero byte inside a value is kept",
         "[" + kUrl + "]\r\n1=http://127.0.0.1/1\0tail\r\n[ID]\r\nID=1\0"s, "http://127.0.0.1/1\0tail"s, "1\0"s, ""},
        {"bytes that are not GBK", "[\x81]\r\n\xFF=\x80\r\n[\xFE\r\n\x80\x80\r\n"s + programFile() + "\xFF\xFE\x81",
         "http://127.0.0.1/1", "2", "5"},
        {"a lone lead byte before the closing bracket", "[\xB6]\r\n1=wrong\r\n" + programFile(),
         "http://127.0.0.1/1", "2", "5"},
        {"ten thousand sections before the program's", manySections(10000) + programFile(), "http://127.0.0.1/1",
         "2", "5"},
        {"ten thousand sections after the program's", programFile() + manySections(10000), "http://127.0.0.1/1",
         "2", "5"},
        {"a task count of 1e400", programFile("1e400", "1e400"), "http://127.0.0.1/1", "1e400", "1e400"},
        {"a task count of -0", programFile("-0", "-0"), "http://127.0.0.1/1", "-0", "-0"},
        {"a task count of nan and a loop time of inf", programFile("nan", "inf"), "http://127.0.0.1/1", "nan",
         "inf"},
        {"only line ends", std::string(100000, '\n') + std::string(100000, '\r'), "", "", ""},
        {"a header that never closes", "[" + std::string(100000, '['), "", "", ""},
    };
    TempDir dir;
    const store::TaskStore store(dir.path());
    long slowestMs = 0;
    const char* slowest = "";
    int writes = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFileBytes(store.configPath(), c.content);
        const auto start = Clock::now();
        EXPECT_EQ(store.readUrl("1"), c.url1);
        EXPECT_EQ(store.readTaskCount(), c.count);
        EXPECT_EQ(store.readLoopMinutes(), c.loop);
        EXPECT_EQ(store.readUrl("01"), "");

        // The numbers the run makes of these texts: never NaN, a text to show.
        for (const std::string& text : {c.count, c.loop}) {
            EXPECT_FALSE(std::isnan(common::textToNumber(text)));
            EXPECT_FALSE(common::stepNumberText(text, -1).empty());
        }

        // A write still lands, changes only its own line and keeps the rest.
        const std::string before = readFileBytes(store.configPath());
        ASSERT_TRUE(store.writeUrl("3", "http://127.0.0.1/3"));
        ++writes;
        const std::string after = readFileBytes(store.configPath());
        EXPECT_TRUE(after == store::iniUpdate(before, kUrl, "3", "http://127.0.0.1/3")) << "other bytes changed";
        EXPECT_EQ(store.readUrl("3"), "http://127.0.0.1/3");
        EXPECT_EQ(store.readUrl("1"), c.url1);
        EXPECT_EQ(store.readTaskCount(), c.count);
        const long ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (ms > slowestMs) {
            slowestMs = ms;
            slowest = c.name;
        }
    }
    // Task numbers such as 1e400 and -0 are keys like any other: each reads its
    // own line and never stands for a number that happens to be equal.
    writeFileBytes(store.configPath(), "[" + kUrl + "]\r\n1e400=http://127.0.0.1/big\r\n-0=http://127.0.0.1/minus\r\n" +
                                           "inf=http://127.0.0.1/inf\r\n");
    EXPECT_EQ(store.readUrl("1e400"), "http://127.0.0.1/big");
    EXPECT_EQ(store.readUrl("-0"), "http://127.0.0.1/minus");
    EXPECT_EQ(store.readUrl("0"), "");
    EXPECT_EQ(store.readUrl("1e+400"), "");
    EXPECT_EQ(store.readUrl(common::stepNumberText("-0", 1)), "");

    // Numbers from the odd texts: what the run would write back.
    EXPECT_EQ(common::stepNumberText("-0", 1), "1");
    EXPECT_EQ(common::stepNumberText("-0", -1), "-1");
    EXPECT_EQ(common::numberToText(common::textToNumber("-0")), "0");
    // A loop time out of range stops the loop timer rather than arming it oddly.
    for (const char* loop : {"1e400", "-1e400", "inf", "nan", "-0"}) {
        SCOPED_TRACE(loop);
        EXPECT_EQ(common::toPeriod32(common::truncateToInteger(common::textToNumber(loop) * 60000.0)), 0);
    }
    reportFigures("HostileConfig", std::to_string(std::size(cases)) + " hostile Config.ini files read, " +
                                       std::to_string(writes) + " writes landed keeping every other byte, 0 bytes lost; "
                                       "slowest case \"" + slowest + "\" took " + std::to_string(slowestMs) + " ms");
}

// The run over the same kinds of file: it neither crashes nor loops without
// end; it downloads what the file names, cut where reads are cut, and an odd
// loop time ends the loop after the pass instead of arming a wild period.
TEST(HostileConfig, TheRunMakesSenseOfIt) {
    const std::string megabyteUrl = "http://127.0.0.1/" + std::string((1 << 20) - 17, 'u');
    struct RunCase {
        const char* name;
        std::string content;
        std::vector<std::string> downloaded;  // in one hour of virtual time
        std::vector<std::string> messages;
        std::string remainingAfterPass;
    };
    const std::string task2 = "2=http://127.0.0.1/2\r\n";
    const std::string paths = "[" + kSave + "]\r\n1=/tmp/1.html\r\n2=/tmp/2.html\r\n";
    const auto file = [&](const std::string& url1, const std::string& count, const std::string& loop) {
        return "[" + kUrl + "]\r\n1=" + url1 + "\r\n" + task2 + paths + "[ID]\r\nID=" + count + "\r\n[" + kLoop +
               "]\r\n" + kLoopKey + "=" + loop + "\r\n";
    };
    const std::string u1 = "http://127.0.0.1/1", u2 = "http://127.0.0.1/2";
    std::string oddKeys = file(u1, "2", "1e400");
    oddKeys.insert(oddKeys.find(task2) + task2.size(), "1e400=http://127.0.0.1/big\r\n-0=http://127.0.0.1/minus\r\n");
    const RunCase cases[] = {
        {"count and loop time 1e400", file(u1, "1e400", "1e400"), {u1, u2}, {}, "inf"},
        {"count and loop time -0", file(u1, "-0", "-0"), {u1, u2}, {}, "-1"},
        {"loop time nan", file(u1, "2", "nan"), {u1, u2}, {}, "1"},
        {"loop time -5", file(u1, "2", "-5"), {u1, u2}, {}, "1"},
        {"a megabyte URL is cut to 10239 bytes", file(megabyteUrl, "2", "1e400"),
         {megabyteUrl.substr(0, 10239), u2}, {}, "1"},
        {"a URL with a zero byte and bytes that are not GBK",
         file("http://127.0.0.1/\0\x81\xFF"s, "2", "1e400"), {"http://127.0.0.1/\0\x81\xFF"s, u2}, {}, "1"},
        {"task numbers 1e400 and -0 beside 1 and 2", oddKeys, {u1, u2}, {}, "1"},
        {"ten thousand sections first", manySections(10000) + file(u1, "2", "1e400"), {u1, u2}, {}, "1"},
        {"no loop time: the run stops with its message", file(u1, "2", ""), {}, {common::kMessageNoLoopTime}, ""},
    };
    int steps = 0;
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        chengfan::testing::EngineRig rig;
        writeFileBytes(rig.store.configPath(), c.content);
        engine::loadInitialTask(rig.state, rig.store, rig.kept);
        rig.engine.runStep();
        rig.timers.advance(3600 * 1000);
        EXPECT_EQ(rig.network.downloadedUrls(), c.downloaded);
        EXPECT_EQ(rig.messages.texts(), c.messages);
        EXPECT_FALSE(rig.timers.isRunning(engine::TimerId::timer1));
        EXPECT_FALSE(rig.timers.isRunning(engine::TimerId::timer2));
        if (!c.downloaded.empty()) {
            EXPECT_EQ(rig.state.text(engine::Field::currentTask), "1");
            EXPECT_EQ(rig.state.text(engine::Field::remainingTasks), c.remainingAfterPass);
        }
        steps += static_cast<int>(rig.network.downloads().size()) + static_cast<int>(c.messages.size());
    }
    reportFigures("HostileConfigRun", std::to_string(std::size(cases)) + " hostile Config.ini files run for an hour "
                                          "of virtual time each: " + std::to_string(steps) +
                                          " steps, every run ended by itself, 0 crashes");
}

}  // namespace
}  // namespace chengfan::reliability
