#include "ui/browser/AboutPageView.h"

#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNavigationRequest>
#include <QWebEnginePage>

namespace chengfan::ui {

AboutPageView::AboutPageView(const BrowserBoxSettings& settings)
    : QWebEngineView(settings.parent), fallbackHtml_(settings.fallbackHtml) {
    setObjectName(settings.objectName);
    setGeometry(settings.geometry);

    // A page that cannot be loaded (offline, host down) gives the program's own
    // short page rather than the browser's error page. Only the load of the page
    // itself, redirects included, is replaced: once the user has gone elsewhere,
    // even before the page had finished, failures are the browser's.
    connect(page(), &QWebEnginePage::navigationRequested, this,
            [this](QWebEngineNavigationRequest& request) {
                if (firstLoadOver_ || !request.isMainFrame() ||
                    request.navigationType() == QWebEngineNavigationRequest::RedirectNavigation) {
                    return;
                }
                if (pageRequested_) firstLoadOver_ = true;
                pageRequested_ = true;
            });
    connect(page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (firstLoadOver_ || info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
        firstLoadOver_ = true;
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) setHtml(fallbackHtml_);
    });
    // Each opening shows the page as the host has it now, never an older copy
    // from the browser's cache.
    QWebEngineHttpRequest request(settings.page);
    request.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
    load(request);
}

}  // namespace chengfan::ui
