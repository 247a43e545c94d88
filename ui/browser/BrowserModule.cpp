// The browser module's entry point, found by name once the module is loaded.

#include <string_view>
#include <type_traits>

#include <QtGlobal>

#include "ui/BrowserBoxSettings.h"
#include "ui/browser/AboutPageView.h"

extern "C" Q_DECL_EXPORT QWidget* chengfan_createBrowserBox(
    const chengfan::ui::BrowserBoxSettings& settings) {
    return new chengfan::ui::AboutPageView(settings);
}

// The program looks the function up by this name and calls it through this type.
static_assert(std::string_view(chengfan::ui::kBrowserBoxFactory) == "chengfan_createBrowserBox");
static_assert(std::is_same_v<decltype(&chengfan_createBrowserBox), chengfan::ui::BrowserBoxFactory>);
