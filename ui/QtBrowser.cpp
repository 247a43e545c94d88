#include "ui/QtBrowser.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "common/Gbk.h"

namespace chengfan::ui {

void QtBrowser::openInBrowser(const common::Text& url) {
    QDesktopServices::openUrl(
        QUrl(QString::fromUtf8(common::gbkToUtf8(url)), QUrl::TolerantMode));
}

}  // namespace chengfan::ui
