#pragma once

#include <vector>

#include "common/Text.h"
#include "engine/Services.h"

namespace chengfan::testing {

// Records every address handed to the default browser; opens nothing.
class FakeBrowser final : public engine::BrowserService {
public:
    void openInBrowser(const common::Text& url) override { opened_.push_back(url); }
    const std::vector<common::Text>& opened() const { return opened_; }

private:
    std::vector<common::Text> opened_;
};

}  // namespace chengfan::testing
