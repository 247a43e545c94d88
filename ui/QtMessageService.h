#pragma once

#include "engine/Services.h"

namespace chengfan::ui {

// The engine's messages, shown with showMessage: the GBK text becomes Unicode
// here, at the window boundary.
class QtMessageService final : public engine::MessageService {
public:
    void showMessage(const common::Text& text) override;
};

}  // namespace chengfan::ui
