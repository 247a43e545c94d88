#pragma once

#include "common/KeptTexts.h"
#include "engine/MainWindowState.h"
#include "engine/Services.h"
#include "store/TaskStore.h"

namespace chengfan::engine {

// The dialogs that MainWindow opens; each hands the timers over in its own way.
enum class DialogKind { newTask, editTask, loopTime, about };

// The run cycle and its pre-run checks, over MainWindowState.
class RunEngine {
public:
    RunEngine(MainWindowState& state, const store::TaskStore& store, common::KeptTexts& kept,
              Services services);

    // Start (按钮1) and every tick of 时钟1 and 时钟2.
    void runStep();
    // Stop (按钮2).
    void stopRun();

    // False, after the no-internet message has been closed, when the probe fails.
    bool checkConnectivity();
    // Ends the program when the update marker names this version. Returns true
    // when it did (a test's endProgram returns; the real one does not).
    bool checkForcedUpdate();

    // A tick of one of the timers 时钟1 to 时钟5; 时钟6 belongs to the window.
    // A tick of 时钟1 or 时钟2 that comes while a run step waits in one of its
    // messages is dropped: the boxes do not stack up while nobody closes them.
    void timerTick(TimerId id);

    // The period writes a dialog button makes before its dialog opens.
    void handOverTimers(DialogKind dialog);

private:
    MainWindowState& state_;
    const store::TaskStore& store_;
    common::KeptTexts& kept_;
    Services services_;
    // How many run steps are on the stack; above 0 while one waits in a message.
    int stepDepth_ = 0;
};

}  // namespace chengfan::engine
