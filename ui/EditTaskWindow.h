#pragma once

#include <QDialog>

class QLineEdit;

namespace chengfan::common {
struct KeptTexts;
}
namespace chengfan::engine {
class MessageService;
}
namespace chengfan::store {
class TaskStore;
}

namespace chengfan::ui {

// The dialog that pages through the saved tasks, wrapping at both ends, and
// rewrites the shown one with "修改"; it never writes the task count.
// "清空所有任务" deletes Config.ini.
class EditTaskWindow : public QDialog {
    Q_OBJECT

public:
    EditTaskWindow(const store::TaskStore& store, common::KeptTexts& kept,
                   engine::MessageService& messages, QWidget* parent = nullptr);

private:
    void onCreated();
    void onNextClicked();
    void onPreviousClicked();
    void onChangeClicked();
    void onClearClicked();
    void showTask();

    const store::TaskStore& store_;
    common::KeptTexts& kept_;
    engine::MessageService& messages_;
    QLineEdit* urlBox_ = nullptr;       // 编辑框1
    QLineEdit* savePathBox_ = nullptr;  // 编辑框2
    QLineEdit* taskBox_ = nullptr;      // 编辑框3
};

}  // namespace chengfan::ui
