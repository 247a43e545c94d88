// The checks before every run step: connectivity, and the forced update read
// from the publisher's marker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineRig.h"
#include "common/GbkTexts.h"
#include "engine/BuildSettings.h"
#include "engine/TaskLoading.h"

namespace chengfan::engine {
namespace {

using testing::EngineRig;

const std::string kUpdatePage = std::string(kPublisherHost) + kUpdatePagePath;

TEST(CheckConnectivity, NoInternetShowsOnlyItsMessageAndFetchesNothing) {
    EngineRig rig;
    rig.writeTasks(2, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.network.setConnected(false);
    rig.engine.runStep();
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageNoInternet});
    EXPECT_EQ(rig.network.probes().size(), 1u);
    EXPECT_TRUE(rig.network.fetches().empty());
    EXPECT_TRUE(rig.network.downloads().empty());
    EXPECT_FALSE(rig.program.ended());
}

TEST(CheckConnectivity, ReportsTheProbeAndSpeaksOnlyOnFailure) {
    EngineRig rig;
    EXPECT_TRUE(rig.engine.checkConnectivity());
    EXPECT_TRUE(rig.messages.shown().empty());
    rig.network.setConnected(false);
    EXPECT_FALSE(rig.engine.checkConnectivity());
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageNoInternet});
}

TEST(CheckForcedUpdate, TheMarkerDecidesWhetherTheProgramEnds) {
    struct Case {
        const char* name;
        std::string marker;  // the body served at the marker's address
        bool reachable;      // false: the marker host cannot be reached
        const char* version;
        bool updates;
    };
    const Case cases[] = {
        {"3.0", "3.0", true, "3.0", true},
        {"3.0 with a line break", "3.0\r\n", true, "3.0", true},
        {"3.0 with a Unix line break", "3.0\n", true, "3.0", true},
        {"3", "3", true, "3.0", true},
        {"3.00", "3.00", true, "3.0", true},
        {"3.00000005, 5e-8 away", "3.00000005", true, "3.0", true},
        {"3.1", "3.1", true, "3.0", false},
        {"2.9", "2.9", true, "3.0", false},
        {"3.0000002, 2e-7 away", "3.0000002", true, "3.0", false},
        {"a 404 page", "<html><head><title>404 Not Found</title></head></html>", true, "3.0", false},
        {"an empty marker", "", true, "3.0", false},
        {"an unreachable marker host", "", false, "3.0", false},
        {"a marker reading 0 against version 0", "", false, "0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.writeTasks(1, "5");
        loadInitialTask(rig.state, rig.store, rig.kept);
        rig.state.setText(Field::version, c.version);
        if (c.reachable) {
            rig.setMarker(c.marker);
        } else {
            rig.network.removeResponse(EngineRig::markerUrl());
        }

        rig.engine.runStep();

        ASSERT_EQ(rig.network.fetches().size(), 1u);
        EXPECT_EQ(rig.network.fetches()[0].url, EngineRig::markerUrl());
        EXPECT_EQ(rig.kept.updateMarkerText, c.reachable ? c.marker : "");
        if (c.updates) {
            EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageUpdate});
            EXPECT_EQ(rig.browser.opened(), std::vector<std::string>{kUpdatePage});
            EXPECT_EQ(rig.program.exitCodes(), std::vector<int>{0});
            EXPECT_TRUE(rig.network.downloads().empty());
            // Nothing after the end: the task was not loaded, no status written.
            EXPECT_EQ(rig.state.text(Field::statusText), common::kStatusNotStarted);
            EXPECT_EQ(rig.state.timerPeriod(TimerId::timer1), 0);
        } else {
            EXPECT_TRUE(rig.messages.shown().empty());
            EXPECT_TRUE(rig.browser.opened().empty());
            EXPECT_FALSE(rig.program.ended());
            EXPECT_EQ(rig.network.downloadedUrls(), std::vector<std::string>{EngineRig::urlOf(1)});
        }
    }
}

TEST(CheckForcedUpdate, MarkerTextIsReadUpToItsFirstZeroByte) {
    EngineRig rig;
    rig.network.setResponse(EngineRig::markerUrl(), common::Bytes{'3', '.', '0', 0, '9'});
    EXPECT_TRUE(rig.engine.checkForcedUpdate());
    EXPECT_EQ(rig.kept.updateMarkerText, "3.0");
}

TEST(CheckForcedUpdate, AnUpdateFoundMidPassEndsTheRunThere) {
    EngineRig rig;
    rig.writeTasks(3, "5");
    loadInitialTask(rig.state, rig.store, rig.kept);
    rig.engine.runStep();
    rig.setMarker("3.0");
    rig.timers.advanceTo(3600000);
    EXPECT_EQ(rig.network.downloadedUrls(), std::vector<std::string>{EngineRig::urlOf(1)});
    EXPECT_EQ(rig.program.exitCodes(), std::vector<int>{0});
    EXPECT_EQ(rig.messages.texts(), std::vector<std::string>{common::kMessageUpdate});
    // The state stays as the step found it at the end.
    EXPECT_EQ(rig.state.text(Field::currentTask), "2");
    EXPECT_EQ(rig.state.timerPeriod(TimerId::timer2), 10000);
}

}  // namespace
}  // namespace chengfan::engine
