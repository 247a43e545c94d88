#include "ui/EditTaskWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QSize>

#include "common/Conversions.h"
#include "common/KeptTexts.h"
#include "engine/Services.h"
#include "store/TaskStore.h"
#include "ui/DialogSupport.h"
#include "ui/Icon.h"

namespace chengfan::ui {

EditTaskWindow::EditTaskWindow(const store::TaskStore& store, common::KeptTexts& kept,
                               engine::MessageService& messages, QWidget* parent)
    : QDialog(parent), store_(store), kept_(kept), messages_(messages) {
    setUpDialog(*this, QStringLiteral("EditTaskWindow"), QStringLiteral("澄帆3.0版修改"),
                QSize(352, 238));
    setWindowIcon(programIcon());

    addLabel(*this, QStringLiteral("标签3"), QStringLiteral("当前编辑任务ID"), QRect(8, 16, 88, 24));
    taskBox_ = addEditBox(*this, QStringLiteral("编辑框3"), QRect(104, 16, 64, 32));
    taskBox_->setText(QStringLiteral("1"));
    taskBox_->setEnabled(false);
    QPushButton* next = addButton(*this, QStringLiteral("按钮1"), QStringLiteral("下一条"), QRect(176, 16, 56, 32));
    QPushButton* previous =
        addButton(*this, QStringLiteral("按钮4"), QStringLiteral("上一条"), QRect(240, 16, 56, 32));
    addLabel(*this, QStringLiteral("标签1"), urlCaption(), QRect(8, 48, 296, 32))->setWordWrap(true);
    urlBox_ = addEditBox(*this, QStringLiteral("编辑框1"), QRect(8, 80, 304, 32));
    addLabel(*this, QStringLiteral("标签2"), savePathCaption(), QRect(8, 116, 272, 16));
    savePathBox_ = addEditBox(*this, QStringLiteral("编辑框2"), QRect(8, 137, 304, 31));
    QPushButton* change = addButton(*this, QStringLiteral("按钮3"), QStringLiteral("修改"), QRect(16, 188, 80, 32));
    QPushButton* clear =
        addButton(*this, QStringLiteral("按钮2"), QStringLiteral("清空所有任务"), QRect(136, 181, 96, 40));

    connect(next, &QPushButton::clicked, this, &EditTaskWindow::onNextClicked);
    connect(previous, &QPushButton::clicked, this, &EditTaskWindow::onPreviousClicked);
    connect(change, &QPushButton::clicked, this, &EditTaskWindow::onChangeClicked);
    connect(clear, &QPushButton::clicked, this, &EditTaskWindow::onClearClicked);

    onCreated();
}

void EditTaskWindow::showTask() {
    const common::Text key = boxKey(*taskBox_);
    kept_.editUrlText = store_.readUrl(key);
    kept_.editSavePathText = store_.readSavePath(key);
    showStoredText(*urlBox_, kept_.editUrlText);
    showStoredText(*savePathBox_, kept_.editSavePathText);
}

void EditTaskWindow::onCreated() { showTask(); }

void EditTaskWindow::onNextClicked() {
    kept_.editUrlText = store_.readUrl(common::stepNumberText(boxKey(*taskBox_), 1));
    if (!common::isEmptyText(kept_.editUrlText)) {
        setBoxText(*taskBox_, common::stepNumberText(boxKey(*taskBox_), 1));
    } else {
        setBoxText(*taskBox_, "1");  // after the last task, back to the first
    }
    showTask();
}

void EditTaskWindow::onPreviousClicked() {
    kept_.editUrlText = store_.readUrl(common::stepNumberText(boxKey(*taskBox_), -1));
    if (!common::isEmptyText(kept_.editUrlText)) {
        setBoxText(*taskBox_, common::stepNumberText(boxKey(*taskBox_), -1));
    } else {
        // Before the first task, on to the last one as the count names it.
        kept_.editTaskCountText = store_.readTaskCount();
        showStoredText(*taskBox_, kept_.editTaskCountText);
    }
    showTask();
}

void EditTaskWindow::onChangeClicked() {
    const std::optional<common::Text> key = boxText(*taskBox_);
    const std::optional<common::Text> url = boxText(*urlBox_);
    const std::optional<common::Text> savePath = boxText(*savePathBox_);
    if (isEmptyBoxText(key)) return say(messages_, "任务为空");
    if (isEmptyBoxText(url)) return say(messages_, "动态网址不能为空");
    if (isEmptyBoxText(savePath)) return say(messages_, "储存地址不能为空");
    if (!key) return say(messages_, "任务编号中有无法保存的字符，请关闭后重新打开本窗口");
    if (!url) return say(messages_, "动态网址中有无法保存的字符（如表情符号或换行），请删除后再保存");
    if (!savePath) return say(messages_, "储存地址中有无法保存的字符（如表情符号或换行），请删除后再保存");

    if (!store_.writeUrl(*key, *url) || !store_.writeSavePath(*key, *savePath)) {
        messages_.showMessage(common::joinTexts(
            {gbkText("第"), *key,
             gbkText("条任务修改失败：无法写入Config.ini，请检查程序所在目录是否可写、磁盘是否已满")}));
        return;
    }
    messages_.showMessage(common::joinTexts({gbkText("第"), *key, gbkText("条任务修改成功")}));
}

void EditTaskWindow::onClearClicked() {
    if (!store_.clearAll()) {
        // The boxes keep their texts, so nothing typed is lost with the failure.
        say(messages_, "清空失败：无法删除Config.ini，请检查程序所在目录是否可写");
        return;
    }
    urlBox_->clear();
    savePathBox_->clear();
    taskBox_->clear();
    say(messages_, "所有任务已清空");
}

}  // namespace chengfan::ui
