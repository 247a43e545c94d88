// The browser module's entry point, found by name once the module is loaded.

#include <string_view>
#include <type_traits>

#include <QByteArray>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtGlobal>

#include "ui/BrowserBoxSettings.h"
#include "ui/browser/AboutPageView.h"

namespace {

QLoggingCategory::CategoryFilter earlierLogFilter = nullptr;

// As it starts, the browser engine reports the application's shared OpenGL
// context under this category, and crashes doing so when there is none. The
// report is silenced, whatever the logging rules say.
void silenceEngineContextReport(QLoggingCategory* category) {
    if (earlierLogFilter != nullptr) earlierLogFilter(category);
    if (qstrcmp(category->categoryName(), "qt.webenginecontext") == 0) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
    }
}

// The program makes no OpenGL context at start, since that would load a whole
// GL driver into every run for a page that is seldom opened, so the browser
// boxes draw in software: Qt Quick's software scene graph shows the pages and
// the browser engine runs without its GPU process. Both are read when the
// engine starts, that is when its first box is made, and only then.
void drawBrowserBoxesInSoftware() {
    static const bool chosen = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        // Flags given by whoever started the program are kept.
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.split(' ').contains(QByteArrayLiteral("--disable-gpu"))) {
            if (!flags.isEmpty()) flags += ' ';
            flags += QByteArrayLiteral("--disable-gpu");
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        }
        earlierLogFilter = QLoggingCategory::installFilter(silenceEngineContextReport);
        return true;
    }();
    Q_UNUSED(chosen);
}

}  // namespace

extern "C" Q_DECL_EXPORT QWidget* chengfan_createBrowserBox(
    const chengfan::ui::BrowserBoxSettings& settings) {
    drawBrowserBoxesInSoftware();
    return new chengfan::ui::AboutPageView(settings);
}

// The program looks the function up by this name and calls it through this type.
static_assert(std::string_view(chengfan::ui::kBrowserBoxFactory) == "chengfan_createBrowserBox");
static_assert(std::is_same_v<decltype(&chengfan_createBrowserBox), chengfan::ui::BrowserBoxFactory>);
