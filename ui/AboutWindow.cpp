#include "ui/AboutWindow.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QLibrary>
#include <QRect>
#include <QShortcut>
#include <QSize>
#include <QTextBrowser>

#include "engine/BuildSettings.h"
#include "ui/BrowserBoxSettings.h"
#include "ui/DialogSupport.h"
#include "ui/Icon.h"

namespace chengfan::ui {

namespace {

// The browser module's box, loading the page, from beside the executable.
// Without the module (missing, damaged, or the browser engine not installed) the
// window still opens, with the program's own page in a plain text box instead.
QWidget* makeBrowserBox(const BrowserBoxSettings& settings) {
    QLibrary module(QCoreApplication::applicationDirPath() +
                    QStringLiteral("/" CHENGFAN_BROWSER_MODULE_FILE));
    // The module stays loaded for the rest of the run: the browser engine
    // cannot be unloaded once started, and later openings find it ready.
    const auto create = reinterpret_cast<BrowserBoxFactory>(module.resolve(kBrowserBoxFactory));
    if (create != nullptr) return create(settings);
    const QString failure = module.errorString();
    qWarning("chengfan: no browser for the about page, showing the built-in page: %s",
             qPrintable(failure));

    auto* box = new QTextBrowser(settings.parent);
    box->setObjectName(settings.objectName);
    box->setGeometry(settings.geometry);
    box->setOpenLinks(false);
    box->setHtml(settings.fallbackHtml);
    return box;
}

}  // namespace

AboutWindow::AboutWindow(QWidget* parent) : AboutWindow(aboutPageAddress(), parent) {}

AboutWindow::AboutWindow(const QUrl& page, QWidget* parent) : QDialog(parent) {
    setUpDialog(*this, QStringLiteral("AboutWindow"), QStringLiteral("澄帆3.0关于"), QSize(640, 370));
    setWindowIcon(programIcon());

    browser_ = makeBrowserBox(BrowserBoxSettings{this, QRect(0, 0, 640, 336),
                                                 QStringLiteral("超文本浏览框1"), page,
                                                 fallbackPageHtml()});
    // The page takes the keys while it has the focus and hands none back, so Esc
    // is caught before it reaches the page: it closes the window from anywhere.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QDialog::reject);
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
