#include "ui/LoopTimeWindow.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QSize>

#include "common/KeptTexts.h"
#include "engine/Services.h"
#include "store/TaskStore.h"
#include "ui/DialogSupport.h"

namespace chengfan::ui {

LoopTimeWindow::LoopTimeWindow(const store::TaskStore& store, common::KeptTexts& kept,
                               engine::MessageService& messages, QWidget* parent)
    : QDialog(parent), store_(store), kept_(kept), messages_(messages) {
    setUpDialog(*this, QStringLiteral("LoopTimeWindow"), QStringLiteral("澄帆3.0版循环时间"),
                QSize(242, 224));

    QLabel* caption =
        addLabel(*this, QStringLiteral("标签1"), QStringLiteral("当前循环时间"), QRect(42, 16, 144, 32));
    QFont captionFont = caption->font();
    captionFont.setPixelSize(24);
    captionFont.setWeight(QFont::Normal);
    captionFont.setItalic(false);
    caption->setFont(captionFont);
    minutesBox_ = addEditBox(*this, QStringLiteral("编辑框1"), QRect(56, 66, 96, 48));
    QPushButton* change = addButton(*this, QStringLiteral("按钮1"), QStringLiteral("修改"), QRect(61, 144, 80, 48));

    connect(change, &QPushButton::clicked, this, &LoopTimeWindow::onChangeClicked);

    onCreated();
}

void LoopTimeWindow::onCreated() {
    kept_.dialogLoopMinutesText = store_.readLoopMinutes();
    showStoredText(*minutesBox_, kept_.dialogLoopMinutesText);
}

void LoopTimeWindow::onChangeClicked() {
    const std::optional<common::Text> minutes = boxText(*minutesBox_);
    if (isEmptyBoxText(minutes)) return say(messages_, "循环时间不能为空");
    if (!minutes) return say(messages_, "循环时间中有无法保存的字符（如表情符号或换行），请删除后再保存");
    // Any text is stored as typed; the run reads what is not a number as 0.
    if (!store_.writeLoopMinutes(*minutes)) {
        say(messages_, "任务循环时间修改失败：无法写入Config.ini，请检查程序所在目录是否可写、磁盘是否已满");
        return;
    }
    say(messages_, "任务循环时间修改成功");
}

}  // namespace chengfan::ui
