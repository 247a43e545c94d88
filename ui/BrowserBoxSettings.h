#pragma once

#include <QRect>
#include <QString>
#include <QUrl>

class QWidget;

namespace chengfan::ui {

// The browser box lives in a module of its own (libchengfan_browser.so beside
// the executable), so that the browser engine's large libraries are loaded only
// when a window first shows a page rather than at every start of the program.
// The module exports one C function, named by kBrowserBoxFactory, of type
// BrowserBoxFactory: it makes the box as a child of `parent` at `geometry`, named
// `objectName`, and starts loading `page` past the browser cache. A failed load
// of that page (redirects included) shows `fallbackHtml` instead; failures after
// the user has gone elsewhere are left to the browser. The box is deleted with
// its parent.
struct BrowserBoxSettings {
    QWidget* parent = nullptr;
    QRect geometry;
    QString objectName;
    QUrl page;
    QString fallbackHtml;
};

using BrowserBoxFactory = QWidget* (*)(const BrowserBoxSettings& settings);
inline constexpr char kBrowserBoxFactory[] = "chengfan_createBrowserBox";

}  // namespace chengfan::ui
