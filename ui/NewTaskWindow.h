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

// The dialog that appends tasks: it opens on the task last saved here, "新增"
// moves to the next number once the shown one is saved, "保存" stores the shown
// task and makes its number the task count, "清空所有任务" deletes Config.ini.
class NewTaskWindow : public QDialog {
    Q_OBJECT

public:
    NewTaskWindow(const store::TaskStore& store, common::KeptTexts& kept,
                  engine::MessageService& messages, QWidget* parent = nullptr);

private:
    void onCreated();
    void onAddClicked();
    void onSaveClicked();
    void onClearClicked();

    const store::TaskStore& store_;
    common::KeptTexts& kept_;
    engine::MessageService& messages_;
    QLineEdit* urlBox_ = nullptr;       // 编辑框1
    QLineEdit* savePathBox_ = nullptr;  // 编辑框2
    QLineEdit* taskBox_ = nullptr;      // 编辑框3
};

}  // namespace chengfan::ui
