#pragma once

#include "engine/Services.h"

namespace chengfan::ui {

// Hands a web address to the desktop's default handler (xdg-open on Linux). The
// handler is started detached, so it is on its way when this returns even if the
// program ends at once.
class QtBrowser final : public engine::BrowserService {
public:
    void openInBrowser(const common::Text& url) override;
};

}  // namespace chengfan::ui
