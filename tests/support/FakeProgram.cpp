#include "FakeProgram.h"

#include "VirtualTimers.h"

namespace chengfan::testing {

void FakeProgram::endProgram(int exitCode) {
    exitCodes_.push_back(exitCode);
    if (timers_ != nullptr) timers_->halt();
}

std::optional<int> FakeProgram::exitCode() const {
    if (exitCodes_.empty()) return std::nullopt;
    return exitCodes_.front();
}

}  // namespace chengfan::testing
