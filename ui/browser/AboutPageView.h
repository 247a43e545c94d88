#pragma once

#include <QWebEngineView>

#include "ui/BrowserBoxSettings.h"

namespace chengfan::ui {

// A browser box that loads one page past the browser cache and, should that
// page fail to load, shows the program's own short page instead.
class AboutPageView : public QWebEngineView {
public:
    explicit AboutPageView(const BrowserBoxSettings& settings);

private:
    QString fallbackHtml_;
    bool pageRequested_ = false;
    bool firstLoadOver_ = false;  // the page has shown, failed or been left
};

}  // namespace chengfan::ui
