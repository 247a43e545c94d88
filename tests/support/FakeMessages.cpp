#include "FakeMessages.h"

#include "VirtualTimers.h"

namespace chengfan::testing {

void FakeMessages::showMessage(const common::Text& text) {
    ++depth_;
    if (depth_ > maxDepth_) maxDepth_ = depth_;
    shown_.push_back({text, timers_ != nullptr ? timers_->now() : 0, depth_});
    std::int64_t openMs = openMs_;
    if (!scripted_.empty()) {
        openMs = scripted_.front();
        scripted_.pop_front();
    }
    if (onShow_) onShow_(text);
    if (timers_ != nullptr && openMs > 0) timers_->advance(openMs);
    --depth_;
}

std::vector<common::Text> FakeMessages::texts() const {
    std::vector<common::Text> result;
    result.reserve(shown_.size());
    for (const Shown& box : shown_) result.push_back(box.text);
    return result;
}

}  // namespace chengfan::testing
