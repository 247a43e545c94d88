#include "ui/AboutWindow.h"

#include <QKeySequence>
#include <QRect>
#include <QShortcut>
#include <QSize>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNavigationRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "engine/BuildSettings.h"
#include "ui/DialogSupport.h"
#include "ui/Icon.h"

namespace chengfan::ui {

AboutWindow::AboutWindow(QWidget* parent) : AboutWindow(aboutPageAddress(), parent) {}

AboutWindow::AboutWindow(const QUrl& page, QWidget* parent) : QDialog(parent) {
    setUpDialog(*this, QStringLiteral("AboutWindow"), QStringLiteral("澄帆3.0关于"), QSize(640, 370));
    setWindowIcon(programIcon());

    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QStringLiteral("超文本浏览框1"));
    browser_->setGeometry(QRect(0, 0, 640, 336));
    // The page takes the keys while it has the focus and hands none back, so Esc
    // is caught before it reaches the page: it closes the window from anywhere.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QDialog::reject);

    // A page that cannot be loaded (offline, host down) gives the program's own
    // short page rather than the browser's error page. Only the load of the about
    // page itself, redirects included, is replaced: once the user has gone
    // elsewhere, even before the page had finished, failures are the browser's.
    connect(browser_->page(), &QWebEnginePage::navigationRequested, this,
            [this](QWebEngineNavigationRequest& request) {
                if (firstLoadOver_ || !request.isMainFrame() ||
                    request.navigationType() == QWebEngineNavigationRequest::RedirectNavigation) {
                    return;
                }
                if (aboutPageRequested_) firstLoadOver_ = true;
                aboutPageRequested_ = true;
            });
    connect(browser_->page(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (firstLoadOver_ || info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
                firstLoadOver_ = true;
                if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
                    browser_->setHtml(fallbackPageHtml());
                }
            });
    // Each opening shows the page as the host has it now, never an older copy
    // from the browser's cache.
    QWebEngineHttpRequest request(page);
    request.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
    browser_->load(request);
}

QUrl AboutWindow::aboutPageAddress() {
    return QUrl(QString::fromUtf8(engine::kPublisherHost) + QString::fromUtf8(engine::kAboutPagePath));
}

QString AboutWindow::fallbackPageHtml() {
    return QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>澄帆 3.0</title></head>"
        "<body style=\"font-family: sans-serif; margin: 24px;\">"
        "<h2>澄帆 3.0</h2>"
        "<p>把动态网页定时保存为静态文件的小工具。</p>"
        "<p>关于页面暂时无法打开，请检查网络后重新打开本窗口。</p>"
        "</body></html>");
}

}  // namespace chengfan::ui
