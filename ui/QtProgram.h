#pragma once

#include "common/KeptTexts.h"
#include "engine/Services.h"

namespace chengfan::ui {

// The program's end: the exit action and the immediate end from inside a handler.
class QtProgram final : public engine::ProgramService {
public:
    explicit QtProgram(common::KeptTexts& kept);

    // The exit action: releases the kept texts. It runs once, whichever way the
    // program ends; a second call does nothing.
    void runExitAction();

    // Runs the exit action and ends the process with the code at once. It is
    // called from nested event loops (a message box inside a run step), where
    // leaving through the event loop would return into the handler and a normal
    // exit would tear down statics under a live application, so the process ends
    // directly after flushing its output.
    [[noreturn]] void endProgram(int exitCode) override;

private:
    common::KeptTexts& kept_;
    bool exitActionRun_ = false;
};

}  // namespace chengfan::ui
