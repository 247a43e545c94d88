#include <QApplication>
#include <QFont>
#include <QTest>

#include "WindowTestSupport.h"
#include "common/KeptTexts.h"
#include "store/TaskStore.h"
#include "support/TempDir.h"
#include "ui/LoopTimeWindow.h"

using namespace chengfan;
using namespace chengfan::testing;

class LoopTimeWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void frame();
    void opensOnTheStoredTime_data();
    void opensOnTheStoredTime();
    void changeStoresAsTyped_data();
    void changeStoresAsTyped();
    void changeAloneCreatesConfigIni();
    void failedWriteIsReported();
    void enterPressesNothing();
};

void LoopTimeWindowTest::controls_data() {
    addControlColumns();
    QTest::newRow("标签1") << "label" << QRect(42, 16, 144, 32) << "当前循环时间" << true;
    QTest::newRow("编辑框1") << "edit" << QRect(56, 66, 96, 48) << "" << true;
    QTest::newRow("按钮1") << "button" << QRect(61, 144, 80, 48) << "修改" << true;
}

void LoopTimeWindowTest::controls() { checkControlRow<ui::LoopTimeWindow>(); }

void LoopTimeWindowTest::frame() {
    DialogSetting s;
    ui::LoopTimeWindow window(s.store, s.kept, s.messages);
    checkDialogFrame(window, "LoopTimeWindow", "澄帆3.0版循环时间", QSize(242, 224));
    QVERIFY(!window.testAttribute(Qt::WA_SetWindowIcon));
    QCOMPARE(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 3);
    // The caption is large and regular; the box and the button keep the default font.
    const QFont caption = control<QLabel>(window, "标签1")->font();
    QCOMPARE(caption.pixelSize(), 24);
    QCOMPARE(caption.weight(), QFont::Normal);
    QVERIFY(!caption.italic());
    QCOMPARE(caption.family(), QApplication::font().family());
    QCOMPARE(box(window, "编辑框1")->font(), QApplication::font(box(window, "编辑框1")));
}

void LoopTimeWindowTest::opensOnTheStoredTime_data() {
    QTest::addColumn<QString>("stored");
    QTest::newRow("none") << "";
    QTest::newRow("5") << "5";
    QTest::newRow("fraction") << "0.5";
    QTest::newRow("Chinese") << "五分钟";
}

void LoopTimeWindowTest::opensOnTheStoredTime() {
    QFETCH(QString, stored);
    DialogSetting s;
    if (!stored.isEmpty()) QVERIFY(s.store.writeLoopMinutes(gbk(stored.toUtf8().constData())));
    ui::LoopTimeWindow window(s.store, s.kept, s.messages);
    QCOMPARE(box(window, "编辑框1")->text(), stored);
    QCOMPARE(unicode(s.kept.dialogLoopMinutesText), stored);
    QVERIFY(s.messages.shown().empty());
}

void LoopTimeWindowTest::changeStoresAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");  // what Config.ini holds afterwards
    const QString done = QStringLiteral("任务循环时间修改成功");
    QTest::newRow("empty") << "" << "循环时间不能为空" << "5";
    QTest::newRow("10") << "10" << done << "10";
    QTest::newRow("fraction") << "0.5" << done << "0.5";
    QTest::newRow("not a number") << "abc" << done << "abc";
    QTest::newRow("a space is not empty") << " " << done << " ";
    QTest::newRow("Chinese") << "十" << done << "十";
    QTest::newRow("emoji") << "5⏰" << "循环时间中有无法保存的字符（如表情符号或换行），请删除后再保存" << "5";
}

void LoopTimeWindowTest::changeStoresAsTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    DialogSetting s;
    QVERIFY(s.store.writeLoopMinutes("5"));
    ui::LoopTimeWindow window(s.store, s.kept, s.messages);
    type(window, "编辑框1", typed);
    click(window, "按钮1");
    QCOMPARE(messagesOf(s.messages), QStringList{message});
    QCOMPARE(raw(s.store.readLoopMinutes()), raw(gbk(stored.toUtf8().constData())));
    QCOMPARE(box(window, "编辑框1")->text(), typed);
}

void LoopTimeWindowTest::changeAloneCreatesConfigIni() {
    DialogSetting s;
    ui::LoopTimeWindow window(s.store, s.kept, s.messages);
    type(window, "编辑框1", "3");
    click(window, "按钮1");
    QCOMPARE(messagesOf(s.messages), QStringList{"任务循环时间修改成功"});
    QVERIFY(fileExists(s.store.configPath()));
    QCOMPARE(raw(s.store.readLoopMinutes()), raw("3"));
    QCOMPARE(raw(s.store.readTaskCount()), raw(""));
}

void LoopTimeWindowTest::failedWriteIsReported() {
    TempDir dir;
    store::TaskStore store(unwritableRunDirectory(dir));
    common::KeptTexts kept;
    FakeMessages messages;
    ui::LoopTimeWindow window(store, kept, messages);
    type(window, "编辑框1", "10");
    click(window, "按钮1");
    QCOMPARE(messagesOf(messages),
             QStringList{"任务循环时间修改失败：无法写入Config.ini，请检查程序所在目录是否可写、磁盘是否已满"});
}

void LoopTimeWindowTest::enterPressesNothing() {
    DialogSetting s;
    QVERIFY(s.store.writeLoopMinutes("5"));
    ui::LoopTimeWindow window(s.store, s.kept, s.messages);
    type(window, "编辑框1", "7");
    checkEnterPressesNothing(window, [&](const QString& focused) {
        QVERIFY2(s.messages.shown().empty(), qPrintable(focused + ": " + lastMessage(s.messages)));
        QCOMPARE(raw(s.store.readLoopMinutes()), raw("5"));
    });
}

QTEST_MAIN(LoopTimeWindowTest)
#include "LoopTimeWindowTest.moc"
