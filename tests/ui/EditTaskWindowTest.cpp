#include <filesystem>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "WindowTestSupport.h"
#include "common/KeptTexts.h"
#include "engine/BuildSettings.h"
#include "store/TaskStore.h"
#include "support/TempDir.h"
#include "ui/EditTaskWindow.h"
#include "ui/Icon.h"

using namespace chengfan;
using namespace chengfan::testing;

namespace {

QString shownKey(QWidget& window) { return box(window, "编辑框3")->text(); }

}  // namespace

class EditTaskWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void frame();
    void paging_data();
    void paging();
    void missingValuesKeepThePreviousBoxText();
    void changeStoresTheShownTask();
    void changeRefuses_data();
    void changeRefuses();
    void clearAllThenPageAndChange();
    void failedWritesAreReported();
    void failedClearKeepsBoxes();
    void enterPressesNothing();
};

void EditTaskWindowTest::controls_data() {
    addControlColumns();
    const QString urlCaption = QStringLiteral("需静态化的动态网址（如：") +
                               QString::fromUtf8(engine::kPublisherHost) + QStringLiteral("）");
    QTest::newRow("标签3") << "label" << QRect(8, 16, 88, 24) << "当前编辑任务ID" << true;
    QTest::newRow("编辑框3") << "edit" << QRect(104, 16, 64, 32) << "1" << false;
    QTest::newRow("按钮1") << "button" << QRect(176, 16, 56, 32) << "下一条" << true;
    QTest::newRow("按钮4") << "button" << QRect(240, 16, 56, 32) << "上一条" << true;
    QTest::newRow("标签1") << "label" << QRect(8, 48, 296, 32) << urlCaption << true;
    QTest::newRow("编辑框1") << "edit" << QRect(8, 80, 304, 32) << "" << true;
    QTest::newRow("标签2") << "label" << QRect(8, 116, 272, 16)
                          << "静态化后储存地址（如：d:\\mulang\\index.html)" << true;
    QTest::newRow("编辑框2") << "edit" << QRect(8, 137, 304, 31) << "" << true;
    QTest::newRow("按钮3") << "button" << QRect(16, 188, 80, 32) << "修改" << true;
    QTest::newRow("按钮2") << "button" << QRect(136, 181, 96, 40) << "清空所有任务" << true;
}

void EditTaskWindowTest::controls() { checkControlRow<ui::EditTaskWindow>(); }

void EditTaskWindowTest::frame() {
    DialogSetting s;
    ui::EditTaskWindow window(s.store, s.kept, s.messages);
    checkDialogFrame(window, "EditTaskWindow", "澄帆3.0版修改", QSize(352, 238));
    QCOMPARE(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 10);
    // The program's own icon, as MainWindow carries it.
    QVERIFY(window.testAttribute(Qt::WA_SetWindowIcon));
    QCOMPARE(window.windowIcon().pixmap(16, 16).toImage(), ui::programIcon().pixmap(16, 16).toImage());
}

void EditTaskWindowTest::paging_data() {
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("clicks");       // n: 下一条, p: 上一条
    QTest::addColumn<QStringList>("shown");    // the number after each click

    const QStringList oneToThree{"1", "2", "3"};
    QTest::newRow("forward wraps to 1") << oneToThree << "3" << "nnnn" << QStringList{"2", "3", "1", "2"};
    QTest::newRow("back wraps to the count") << oneToThree << "3" << "ppp" << QStringList{"3", "2", "1"};
    QTest::newRow("count below the last task")
        << QStringList{"1", "2", "3", "4", "5"} << "3" << "nnnnnp" << QStringList{"2", "3", "4", "5", "1", "3"};
    QTest::newRow("no count: back stays") << oneToThree << "" << "pn" << QStringList{"1", "2"};
    QTest::newRow("no tasks") << QStringList{} << "" << "np" << QStringList{"1", "1"};
    QTest::newRow("gap ends the list") << QStringList{"1", "2", "4"} << "4" << "nnnpp"
                                      << QStringList{"2", "1", "2", "1", "4"};
}

void EditTaskWindowTest::paging() {
    QFETCH(QStringList, tasks);
    QFETCH(QString, count);
    QFETCH(QString, clicks);
    QFETCH(QStringList, shown);
    DialogSetting s;
    s.addTasks(tasks);
    if (!count.isEmpty()) QVERIFY(s.store.writeTaskCount(count.toStdString()));

    ui::EditTaskWindow window(s.store, s.kept, s.messages);
    QCOMPARE(shownKey(window), QStringLiteral("1"));
    for (qsizetype i = 0; i < clicks.size(); ++i) {
        click(window, clicks[i] == 'n' ? "按钮1" : "按钮4");
        const QString key = shownKey(window);
        QCOMPARE(key, shown[i]);
        if (tasks.contains(key)) {
            QCOMPARE(box(window, "编辑框1")->text(), "http://h/" + key);
            QCOMPARE(box(window, "编辑框2")->text(), "d:\\p\\" + key + ".html");
        }
    }
    QVERIFY(s.messages.shown().empty());  // paging never says anything
    QCOMPARE(raw(s.store.readTaskCount()), raw(count.toStdString()));
}

void EditTaskWindowTest::missingValuesKeepThePreviousBoxText() {
    DialogSetting s;
    s.addTasks({"1", "2"}, {"2"});
    ui::EditTaskWindow window(s.store, s.kept, s.messages);
    QCOMPARE(box(window, "编辑框2")->text(), QStringLiteral("d:\\p\\1.html"));
    click(window, "按钮1");
    QCOMPARE(shownKey(window), QStringLiteral("2"));
    QCOMPARE(box(window, "编辑框1")->text(), QStringLiteral("http://h/2"));
    QCOMPARE(box(window, "编辑框2")->text(), QStringLiteral("d:\\p\\1.html"));
    // Text the user typed stays too when the shown task has no value for it.
    type(window, "编辑框2", "typed");
    click(window, "按钮4");
    click(window, "按钮1");
    QCOMPARE(box(window, "编辑框2")->text(), QStringLiteral("d:\\p\\1.html"));
}

void EditTaskWindowTest::changeStoresTheShownTask() {
    DialogSetting s;
    s.addTasks({"1", "2", "3"});
    QVERIFY(s.store.writeTaskCount("3"));
    ui::EditTaskWindow window(s.store, s.kept, s.messages);
    click(window, "按钮1");
    type(window, "编辑框1", " http://例子.cn/新 ");
    type(window, "编辑框2", "e:\\站点\\新.html");
    click(window, "按钮3");
    QCOMPARE(messagesOf(s.messages), QStringList{"第2条任务修改成功"});
    QCOMPARE(raw(s.store.readUrl("2")), raw(gbk(" http://例子.cn/新 ")));
    QCOMPARE(raw(s.store.readSavePath("2")), raw(gbk("e:\\站点\\新.html")));
    QCOMPARE(raw(s.store.readUrl("3")), raw("http://h/3"));
    QCOMPARE(raw(s.store.readTaskCount()), raw("3"));

    // Paging away and back shows what was stored.
    click(window, "按钮1");
    click(window, "按钮4");
    QCOMPARE(box(window, "编辑框1")->text(), QStringLiteral(" http://例子.cn/新 "));
}

void EditTaskWindowTest::changeRefuses_data() {
    QTest::addColumn<QString>("taskNumber");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("savePath");
    QTest::addColumn<QString>("message");
    // The number is checked first, then the URL, then the path.
    QTest::newRow("all empty") << "" << "" << "" << "任务为空";
    QTest::newRow("empty number") << "" << "http://a" << "d:\\a.html" << "任务为空";
    QTest::newRow("empty URL and path") << "1" << "" << "" << "动态网址不能为空";
    QTest::newRow("empty path") << "1" << "http://a" << "" << "储存地址不能为空";
    QTest::newRow("emoji in URL") << "1" << "http://a/🚀" << "d:\\a.html"
                                  << "动态网址中有无法保存的字符（如表情符号或换行），请删除后再保存";
    QTest::newRow("emoji in path") << "1" << "http://a" << "d:\\🚀.html"
                                   << "储存地址中有无法保存的字符（如表情符号或换行），请删除后再保存";
}

void EditTaskWindowTest::changeRefuses() {
    QFETCH(QString, taskNumber);
    QFETCH(QString, url);
    QFETCH(QString, savePath);
    QFETCH(QString, message);
    DialogSetting s;
    ui::EditTaskWindow window(s.store, s.kept, s.messages);
    box(window, "编辑框3")->setText(taskNumber);
    box(window, "编辑框1")->setText(url);
    box(window, "编辑框2")->setText(savePath);
    click(window, "按钮3");
    QCOMPARE(messagesOf(s.messages), QStringList{message});
    QVERIFY(!fileExists(s.store.configPath()));
}

void EditTaskWindowTest::clearAllThenPageAndChange() {
    DialogSetting s;
    s.addTasks({"1", "2"});
    QVERIFY(s.store.writeTaskCount("2"));
    QVERIFY(s.store.writeLoopMinutes("5"));
    ui::EditTaskWindow window(s.store, s.kept, s.messages);

    click(window, "按钮2");
    QCOMPARE(messagesOf(s.messages), QStringList{"所有任务已清空"});
    QVERIFY(!fileExists(s.store.configPath()));
    for (const char* name : {"编辑框1", "编辑框2", "编辑框3"}) QCOMPARE(box(window, name)->text(), QString());

    click(window, "按钮3");
    QCOMPARE(lastMessage(s.messages), QStringLiteral("任务为空"));
    click(window, "按钮4");  // no count: the number stays empty
    QCOMPARE(shownKey(window), QString());
    type(window, "编辑框1", "http://new");
    click(window, "按钮1");
    QCOMPARE(shownKey(window), QStringLiteral("1"));
    QCOMPARE(box(window, "编辑框1")->text(), QStringLiteral("http://new"));

    type(window, "编辑框2", "d:\\new.html");
    click(window, "按钮3");
    QCOMPARE(lastMessage(s.messages), QStringLiteral("第1条任务修改成功"));
    QCOMPARE(raw(s.store.readUrl("1")), raw("http://new"));
    QCOMPARE(raw(s.store.readTaskCount()), raw(""));  // this dialog never writes the count
}

void EditTaskWindowTest::failedWritesAreReported() {
    TempDir dir;
    store::TaskStore store(unwritableRunDirectory(dir));
    common::KeptTexts kept;
    FakeMessages messages;
    ui::EditTaskWindow window(store, kept, messages);
    type(window, "编辑框1", "http://a");
    type(window, "编辑框2", "d:\\a.html");
    click(window, "按钮3");
    QCOMPARE(messagesOf(messages),
             QStringList{"第1条任务修改失败：无法写入Config.ini，请检查程序所在目录是否可写、磁盘是否已满"});
    QCOMPARE(box(window, "编辑框1")->text(), QStringLiteral("http://a"));
}

void EditTaskWindowTest::failedClearKeepsBoxes() {
    TempDir dir;
    std::filesystem::create_directories(dir.file("Config.ini") + "/inside");  // cannot be deleted
    store::TaskStore store(dir.path());
    common::KeptTexts kept;
    FakeMessages messages;
    ui::EditTaskWindow window(store, kept, messages);
    type(window, "编辑框1", "http://a");
    type(window, "编辑框2", "d:\\a.html");
    click(window, "按钮2");
    QCOMPARE(messagesOf(messages), QStringList{"清空失败：无法删除Config.ini，请检查程序所在目录是否可写"});
    QCOMPARE(box(window, "编辑框1")->text(), QStringLiteral("http://a"));
    QCOMPARE(box(window, "编辑框2")->text(), QStringLiteral("d:\\a.html"));
    QCOMPARE(shownKey(window), QStringLiteral("1"));
}

void EditTaskWindowTest::enterPressesNothing() {
    DialogSetting s;
    s.addTasks({"1", "2"});
    QVERIFY(s.store.writeTaskCount("2"));
    const std::string before = readFileBytes(s.store.configPath());
    ui::EditTaskWindow window(s.store, s.kept, s.messages);
    checkEnterPressesNothing(window, [&](const QString& focused) {
        QVERIFY2(s.messages.shown().empty(), qPrintable(focused + ": " + lastMessage(s.messages)));
        QCOMPARE(readFileBytes(s.store.configPath()), before);
        QCOMPARE(shownKey(window), QStringLiteral("1"));
    });
}

QTEST_MAIN(EditTaskWindowTest)
#include "EditTaskWindowTest.moc"
