#include "ui/NewTaskWindow.h"

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

namespace chengfan::ui {

NewTaskWindow::NewTaskWindow(const store::TaskStore& store, common::KeptTexts& kept,
                             engine::MessageService& messages, QWidget* parent)
    : QDialog(parent), store_(store), kept_(kept), messages_(messages) {
    setUpDialog(*this, QStringLiteral("NewTaskWindow"), QStringLiteral("澄帆3.0版新增"),
                QSize(329, 281));

    addLabel(*this, QStringLiteral("标签3"), QStringLiteral("当前编辑任务ID"), QRect(8, 19, 88, 24));
    taskBox_ = addEditBox(*this, QStringLiteral("编辑框3"), QRect(104, 16, 64, 32));
    taskBox_->setText(QStringLiteral("1"));
    taskBox_->setEnabled(false);
    addLabel(*this, QStringLiteral("标签1"), urlCaption(), QRect(8, 56, 296, 32))->setWordWrap(true);
    urlBox_ = addEditBox(*this, QStringLiteral("编辑框1"), QRect(0, 96, 304, 32));
    addLabel(*this, QStringLiteral("标签2"), savePathCaption(), QRect(8, 144, 272, 16));
    savePathBox_ = addEditBox(*this, QStringLiteral("编辑框2"), QRect(0, 176, 304, 31));
    QPushButton* add = addButton(*this, QStringLiteral("按钮1"), QStringLiteral("新增"), QRect(16, 224, 72, 40));
    QPushButton* save = addButton(*this, QStringLiteral("按钮3"), QStringLiteral("保存"), QRect(112, 224, 80, 40));
    QPushButton* clear =
        addButton(*this, QStringLiteral("按钮2"), QStringLiteral("清空所有任务"), QRect(215, 222, 96, 42));

    connect(add, &QPushButton::clicked, this, &NewTaskWindow::onAddClicked);
    connect(save, &QPushButton::clicked, this, &NewTaskWindow::onSaveClicked);
    connect(clear, &QPushButton::clicked, this, &NewTaskWindow::onClearClicked);

    onCreated();
}

void NewTaskWindow::onCreated() {
    // Open on the task this dialog saved last; without a count, on task 1.
    kept_.newTaskCountText = store_.readTaskCount();
    showStoredText(*taskBox_, kept_.newTaskCountText);

    const common::Text key = boxKey(*taskBox_);
    kept_.newUrlText = store_.readUrl(key);
    kept_.newSavePathText = store_.readSavePath(key);
    showStoredText(*urlBox_, kept_.newUrlText);
    showStoredText(*savePathBox_, kept_.newSavePathText);
}

void NewTaskWindow::onAddClicked() {
    // Only a stored URL counts as saved; text typed but not saved does not.
    kept_.newUrlText = store_.readUrl(boxKey(*taskBox_));
    std::string_view prefix;
    if (!common::isEmptyText(kept_.newUrlText)) {
        setBoxText(*taskBox_, common::stepNumberText(boxKey(*taskBox_), 1));
        urlBox_->clear();
        savePathBox_->clear();
        prefix = "请编辑第";
    } else {
        prefix = "请先编辑并保存第";
    }
    messages_.showMessage(common::joinTexts({gbkText(prefix), boxKey(*taskBox_), gbkText("条任务")}));
}

void NewTaskWindow::onSaveClicked() {
    const std::optional<common::Text> url = boxText(*urlBox_);
    const std::optional<common::Text> savePath = boxText(*savePathBox_);
    const std::optional<common::Text> key = boxText(*taskBox_);
    if (isEmptyBoxText(url)) return say(messages_, "动态网址不能为空");
    if (isEmptyBoxText(savePath)) return say(messages_, "储存地址不能为空");
    if (isEmptyBoxText(key)) return say(messages_, "ID不能为空");
    if (!url) return say(messages_, "动态网址中有无法保存的字符（如表情符号或换行），请删除后再保存");
    if (!savePath) return say(messages_, "储存地址中有无法保存的字符（如表情符号或换行），请删除后再保存");
    if (!key) return say(messages_, "任务编号中有无法保存的字符，请关闭后重新打开本窗口");

    // Stop at the first failed write: a count must never name a task that was not stored.
    if (!store_.writeUrl(*key, *url) || !store_.writeSavePath(*key, *savePath) ||
        !store_.writeTaskCount(*key)) {
        messages_.showMessage(common::joinTexts(
            {gbkText("第"), *key,
             gbkText("条任务保存失败：无法写入Config.ini，请检查程序所在目录是否可写、磁盘是否已满")}));
        return;
    }
    messages_.showMessage(common::joinTexts({gbkText("第"), *key, gbkText("条任务保存成功")}));
}

void NewTaskWindow::onClearClicked() {
    if (!store_.clearAll()) {
        // The boxes keep their texts, so nothing typed is lost with the failure.
        say(messages_, "清空失败：无法删除Config.ini，请检查程序所在目录是否可写");
        return;
    }
    urlBox_->clear();
    savePathBox_->clear();
    setBoxText(*taskBox_, "1");
    say(messages_, "所有任务已清空");
}

}  // namespace chengfan::ui
