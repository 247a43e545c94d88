#pragma once

#include <string>

#include "FakeBrowser.h"
#include "FakeClock.h"
#include "FakeMessages.h"
#include "FakeNetwork.h"
#include "FakeProgram.h"
#include "TempDir.h"
#include "VirtualTimers.h"
#include "common/KeptTexts.h"
#include "engine/MainWindowState.h"
#include "engine/RunEngine.h"
#include "store/TaskStore.h"

namespace chengfan::testing {

// The run engine over a Config.ini in a fresh temporary directory, with every
// service faked in virtual time and the timers' ticks wired to timerTick. The
// update marker answers "1.0" unless a test says otherwise, so runs go on.
class EngineRig {
public:
    EngineRig();
    EngineRig(const EngineRig&) = delete;
    EngineRig& operator=(const EngineRig&) = delete;

    // Writes a task through the store; an empty value is left out of the file.
    void writeTask(const std::string& key, const std::string& url, const std::string& savePath);
    // Tasks 1..count with the URLs urlOf(n) and save paths savePathOf(n), the
    // count and the loop time.
    void writeTasks(int count, const std::string& loopMinutes);
    void setMarker(const std::string& body);

    static std::string urlOf(int task);
    static std::string savePathOf(int task);
    static std::string markerUrl();

    TempDir dir;
    store::TaskStore store;
    VirtualTimers timers;
    FakeMessages messages;
    FakeNetwork network;
    FakeBrowser browser;
    FakeProgram program;
    FakeClock clock;
    common::KeptTexts kept;
    engine::MainWindowState state;
    engine::RunEngine engine;
};

}  // namespace chengfan::testing
