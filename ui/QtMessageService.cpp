#include "ui/QtMessageService.h"

#include <QString>

#include "common/Gbk.h"
#include "ui/Toolkit.h"

namespace chengfan::ui {

void QtMessageService::showMessage(const common::Text& text) {
    ui::showMessage(QString::fromUtf8(common::gbkToUtf8(text)));
}

}  // namespace chengfan::ui
