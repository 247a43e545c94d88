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

// The dialog that shows the stored loop time and stores a new one, in minutes,
// exactly as typed.
class LoopTimeWindow : public QDialog {
    Q_OBJECT

public:
    LoopTimeWindow(const store::TaskStore& store, common::KeptTexts& kept,
                   engine::MessageService& messages, QWidget* parent = nullptr);

private:
    void onCreated();
    void onChangeClicked();

    const store::TaskStore& store_;
    common::KeptTexts& kept_;
    engine::MessageService& messages_;
    QLineEdit* minutesBox_ = nullptr;  // 编辑框1
};

}  // namespace chengfan::ui
