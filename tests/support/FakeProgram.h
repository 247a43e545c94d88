#pragma once

#include <optional>
#include <vector>

#include "engine/Services.h"

namespace chengfan::testing {

class VirtualTimers;

// Records the end of the program and returns. With a VirtualTimers it also halts
// it, so no timer ticks after the end, as with the real end of the program.
class FakeProgram final : public engine::ProgramService {
public:
    explicit FakeProgram(VirtualTimers* timers = nullptr) : timers_(timers) {}

    void endProgram(int exitCode) override;

    bool ended() const { return !exitCodes_.empty(); }
    // The code of the first end; nullopt while the program runs.
    std::optional<int> exitCode() const;
    // Every call: a second one means the engine went on after the end.
    const std::vector<int>& exitCodes() const { return exitCodes_; }

private:
    VirtualTimers* timers_;
    std::vector<int> exitCodes_;
};

}  // namespace chengfan::testing
