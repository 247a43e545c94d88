#pragma once

#include <cstdint>

#include "common/Text.h"
#include "engine/Services.h"

namespace chengfan::testing {

class VirtualTimers;

// A wall clock that follows virtual time: the start time plus the whole seconds
// of virtual time passed. Without a VirtualTimers it stays at the start time.
class FakeClock final : public engine::Clock {
public:
    explicit FakeClock(const VirtualTimers* timers = nullptr,
                       common::DateTime start = {2026, 12, 11, 8, 0, 0});

    common::DateTime now() override;

    // The date and time the clock shows at virtual time atMs.
    common::DateTime at(std::int64_t atMs) const;

private:
    const VirtualTimers* timers_;
    common::DateTime start_;
};

}  // namespace chengfan::testing
