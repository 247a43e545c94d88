#include "ui/QtProgram.h"

#include <cstdio>
#include <cstdlib>

namespace chengfan::ui {

QtProgram::QtProgram(common::KeptTexts& kept) : kept_(kept) {}

void QtProgram::runExitAction() {
    if (exitActionRun_) return;
    exitActionRun_ = true;
    common::releaseKeptTexts(kept_);
}

void QtProgram::endProgram(int exitCode) {
    runExitAction();
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace chengfan::ui
