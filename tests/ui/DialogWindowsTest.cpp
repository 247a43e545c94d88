#include <functional>

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "WindowTestSupport.h"
#include "ui/AboutWindow.h"
#include "ui/EditTaskWindow.h"
#include "ui/LoopTimeWindow.h"
#include "ui/NewTaskWindow.h"
#include "ui/Toolkit.h"

using namespace chengfan;
using namespace chengfan::testing;

// Each dialog as the program opens it: modal, in a nested event loop, closed by
// Esc, destroyed on the way out.
class DialogWindowsTest : public QObject {
    Q_OBJECT

public:
    static void initMain() {
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }

private slots:
    void escEndsTheModalWait_data();
    void escEndsTheModalWait();
};

using DialogMaker = std::function<QDialog*(DialogSetting&)>;
Q_DECLARE_METATYPE(DialogMaker)

void DialogWindowsTest::escEndsTheModalWait_data() {
    QTest::addColumn<DialogMaker>("make");
    QTest::newRow("NewTaskWindow") << DialogMaker([](DialogSetting& s) -> QDialog* {
        return new ui::NewTaskWindow(s.store, s.kept, s.messages);
    });
    QTest::newRow("EditTaskWindow") << DialogMaker([](DialogSetting& s) -> QDialog* {
        return new ui::EditTaskWindow(s.store, s.kept, s.messages);
    });
    QTest::newRow("LoopTimeWindow") << DialogMaker([](DialogSetting& s) -> QDialog* {
        return new ui::LoopTimeWindow(s.store, s.kept, s.messages);
    });
    QTest::newRow("AboutWindow") << DialogMaker([](DialogSetting&) -> QDialog* {
        return new ui::AboutWindow(QUrl(QStringLiteral("about:blank")));
    });
}

void DialogWindowsTest::escEndsTheModalWait() {
    QFETCH(DialogMaker, make);
    DialogSetting s;
    s.addTasks({"1"});
    QVERIFY(s.store.writeTaskCount("1"));
    QVERIFY(s.store.writeLoopMinutes("5"));
    const std::string before = readFileBytes(s.store.configPath());

    QPointer<QDialog> dialog = make(s);
    QString objectName = dialog->objectName();
    QString seenModal;
    bool escSent = false;
    // Acts from inside the modal wait, once the dialog is up; a safety timer
    // ends the wait if Esc does not, so a fault fails instead of hanging.
    QTimer::singleShot(0, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        seenModal = modal->objectName();
        QWidget* focus = modal->focusWidget() != nullptr ? modal->focusWidget() : modal;
        QTest::keyClick(focus, Qt::Key_Return);
        QTest::keyClick(focus, Qt::Key_Escape);
        escSent = true;
    });
    QTimer safety;
    safety.setSingleShot(true);
    connect(&safety, &QTimer::timeout, this, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->deleteLater();
    });
    safety.start(30000);
    ui::openDialog(dialog);
    QVERIFY(escSent);
    QVERIFY(safety.isActive());
    QCOMPARE(seenModal, objectName);
    QVERIFY(dialog.isNull());
    QVERIFY(s.messages.shown().empty());
    QCOMPARE(readFileBytes(s.store.configPath()), before);
}

QTEST_MAIN(DialogWindowsTest)
#include "DialogWindowsTest.moc"
