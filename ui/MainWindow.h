#pragma once

#include <array>

#include <QUrl>
#include <QWidget>

#include "common/KeptTexts.h"
#include "engine/MainWindowState.h"
#include "engine/RunEngine.h"
#include "engine/Services.h"
#include "store/TaskStore.h"
#include "ui/QtTimerDriver.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace chengfan::ui {

class NoticeBox;

// The program's window: it mirrors MainWindowState in its controls, holds the six
// timers that drive the run, and opens the four dialogs. Every rule of the run
// lives in the engine; the window only passes clicks and ticks on.
class MainWindow final : public QWidget, private engine::StateObserver {
    Q_OBJECT
public:
    // The publisher's notice page, loaded by the hidden browser box.
    static QUrl defaultNoticePage();

    // The services are the program's own or a test's fakes. Creating the window
    // runs its created handler: the first task is loaded, the notice reload armed
    // and the URL, save-path and loop boxes disabled.
    MainWindow(const store::TaskStore& store, common::KeptTexts& kept,
               engine::Services services, const QUrl& noticePage = defaultNoticePage(),
               QWidget* parent = nullptr);
    ~MainWindow() override;

    engine::MainWindowState& state() { return state_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void textChanged(engine::Field field, const common::Text& value) override;

    void buildControls();
    void created(const QUrl& noticePage);
    void timerTick(engine::TimerId id);

    void openNewTask();     // 按钮9
    void openEditTask();    // 按钮8
    void openLoopTime();    // 按钮4
    void openAbout();       // 按钮6

    QWidget*& control(engine::Field field);

    const store::TaskStore& store_;
    common::KeptTexts& kept_;
    engine::Services services_;
    QtTimerDriver timers_;
    engine::MainWindowState state_;
    engine::RunEngine engine_;

    std::array<QWidget*, engine::kFieldCount> fieldControls_{};
    NoticeBox* noticeBox_ = nullptr;
};

}  // namespace chengfan::ui
