#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "engine/Services.h"

namespace chengfan::testing {

class VirtualTimers;

// A message service that records every box and closes it after a scripted
// while. While a box is "open" the thread takes events: with a VirtualTimers,
// the ticks that fall due during the open time run inside the wait, as they do
// inside a real modal box. A box open for 0 ms closes before any event is taken.
class FakeMessages final : public engine::MessageService {
public:
    struct Shown {
        common::Text text;
        std::int64_t atMs;  // virtual time at which the box opened
        int depth;          // 1 for a box shown outside any other box
    };

    explicit FakeMessages(VirtualTimers* timers = nullptr) : timers_(timers) {}

    void showMessage(const common::Text& text) override;

    // How long each box stays open; scripted times are used first, in order.
    void setOpenTime(std::int64_t ms) { openMs_ = ms; }
    void scriptOpenTimes(std::deque<std::int64_t> times) { scripted_ = std::move(times); }
    // Runs when a box opens, before its wait (a user acting while it is shown).
    void setOnShow(std::function<void(const common::Text&)> onShow) { onShow_ = std::move(onShow); }

    const std::vector<Shown>& shown() const { return shown_; }
    std::vector<common::Text> texts() const;
    int maxDepth() const { return maxDepth_; }
    void clear() { shown_.clear(); }

private:
    VirtualTimers* timers_;
    std::int64_t openMs_ = 0;
    std::deque<std::int64_t> scripted_;
    std::function<void(const common::Text&)> onShow_;
    std::vector<Shown> shown_;
    int depth_ = 0;
    int maxDepth_ = 0;
};

}  // namespace chengfan::testing
