#include <filesystem>

#include <QApplication>
#include <QTest>

#include "support/TempDir.h"
#include "WindowTestSupport.h"
#include "common/KeptTexts.h"
#include "engine/BuildSettings.h"
#include "store/TaskStore.h"
#include "ui/NewTaskWindow.h"

using namespace chengfan;
using namespace chengfan::testing;

class NewTaskWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void frame();
    void opensOnStoredCountAndAdds_data();
    void opensOnStoredCountAndAdds();
    void saveStoresTaskAndCount();
    void saveRefuses_data();
    void saveRefuses();
    void storedBytesGoBackUnchanged();
    void clearAllThenAdd();
    void failedWritesAreReported();
    void failedClearKeepsBoxes();
    void enterPressesNothing();
};

void NewTaskWindowTest::controls_data() {
    addControlColumns();
    const QString urlCaption = QStringLiteral("需静态化的动态网址（如：") +
                               QString::fromUtf8(engine::kPublisherHost) + QStringLiteral("）");
    QTest::newRow("标签3") << "label" << QRect(8, 19, 88, 24) << "当前编辑任务ID" << true;
    QTest::newRow("编辑框3") << "edit" << QRect(104, 16, 64, 32) << "1" << false;
    QTest::newRow("标签1") << "label" << QRect(8, 56, 296, 32) << urlCaption << true;
    QTest::newRow("编辑框1") << "edit" << QRect(0, 96, 304, 32) << "" << true;
    QTest::newRow("标签2") << "label" << QRect(8, 144, 272, 16)
                          << "静态化后储存地址（如：d:\\mulang\\index.html)" << true;
    QTest::newRow("编辑框2") << "edit" << QRect(0, 176, 304, 31) << "" << true;
    QTest::newRow("按钮1") << "button" << QRect(16, 224, 72, 40) << "新增" << true;
    QTest::newRow("按钮3") << "button" << QRect(112, 224, 80, 40) << "保存" << true;
    QTest::newRow("按钮2") << "button" << QRect(215, 222, 96, 42) << "清空所有任务" << true;
}

void NewTaskWindowTest::controls() { checkControlRow<ui::NewTaskWindow>(); }

void NewTaskWindowTest::frame() {
    DialogSetting s;
    ui::NewTaskWindow window(s.store, s.kept, s.messages);
    checkDialogFrame(window, "NewTaskWindow", "澄帆3.0版新增", QSize(329, 281));
    // No icon of its own: the application's default shows.
    QVERIFY(!window.testAttribute(Qt::WA_SetWindowIcon));
    QCOMPARE(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 9);
}

void NewTaskWindowTest::opensOnStoredCountAndAdds_data() {
    QTest::addColumn<QString>("count");       // stored task count, "" for none
    QTest::addColumn<QStringList>("tasks");   // keys with a stored task
    QTest::addColumn<QString>("openKey");
    QTest::addColumn<QString>("openUrl");
    QTest::addColumn<QString>("message");     // after "新增"
    QTest::addColumn<QString>("keyAfterAdd");

    QTest::newRow("no Config.ini") << "" << QStringList{} << "1" << "" << "请先编辑并保存第1条任务" << "1";
    QTest::newRow("task 1 without a count") << "" << QStringList{"1"} << "1" << "http://h/1"
                                           << "请编辑第2条任务" << "2";
    QTest::newRow("count 3, tasks 1-3") << "3" << QStringList{"1", "2", "3"} << "3" << "http://h/3"
                                       << "请编辑第4条任务" << "4";
    QTest::newRow("count 3, no task 3") << "3" << QStringList{"1", "2"} << "3" << ""
                                       << "请先编辑并保存第3条任务" << "3";
    QTest::newRow("count of letters") << "abc" << QStringList{"abc"} << "abc" << "http://h/abc"
                                     << "请编辑第1条任务" << "1";
    QTest::newRow("Chinese count") << "三" << QStringList{"三"} << "三" << "http://h/三"
                                  << "请编辑第1条任务" << "1";
    QTest::newRow("count 9, task 9") << "9" << QStringList{"9"} << "9" << "http://h/9"
                                    << "请编辑第10条任务" << "10";
}

void NewTaskWindowTest::opensOnStoredCountAndAdds() {
    QFETCH(QString, count);
    QFETCH(QStringList, tasks);
    QFETCH(QString, openKey);
    QFETCH(QString, openUrl);
    QFETCH(QString, message);
    QFETCH(QString, keyAfterAdd);
    DialogSetting s;
    s.addTasks(tasks);
    if (!count.isEmpty()) QVERIFY(s.store.writeTaskCount(gbk(count.toUtf8().constData())));

    ui::NewTaskWindow window(s.store, s.kept, s.messages);
    QCOMPARE(box(window, "编辑框3")->text(), openKey);
    QCOMPARE(box(window, "编辑框1")->text(), openUrl);
    QCOMPARE(box(window, "编辑框2")->text(),
             openUrl.isEmpty() ? QString() : "d:\\p\\" + openKey + ".html");
    QCOMPARE(unicode(s.kept.newTaskCountText), count);
    QVERIFY(s.messages.shown().empty());

    // Typed but unsaved text does not count as saved.
    type(window, "编辑框1", "http://typed");
    click(window, "按钮1");
    QCOMPARE(messagesOf(s.messages), QStringList{message});
    QCOMPARE(box(window, "编辑框3")->text(), keyAfterAdd);
    const bool moved = message.startsWith("请编辑");
    QCOMPARE(box(window, "编辑框1")->text(), moved ? QString() : QStringLiteral("http://typed"));
    QCOMPARE(box(window, "编辑框2")->text().isEmpty(), moved || openUrl.isEmpty());
}

void NewTaskWindowTest::saveStoresTaskAndCount() {
    DialogSetting s;
    s.addTasks({"1", "2", "3", "4", "5"});
    QVERIFY(s.store.writeTaskCount("3"));  // a hand-edited count below the highest task
    QVERIFY(s.store.writeLoopMinutes("5"));

    ui::NewTaskWindow window(s.store, s.kept, s.messages);
    // Saving the shown task unchanged rewrites it and the count.
    click(window, "按钮3");
    QCOMPARE(messagesOf(s.messages), QStringList{"第3条任务保存成功"});
    QCOMPARE(raw(s.store.readUrl("3")), raw("http://h/3"));
    QCOMPARE(raw(s.store.readTaskCount()), raw("3"));

    click(window, "按钮1");
    QCOMPARE(lastMessage(s.messages), QStringLiteral("请编辑第4条任务"));
    // Exactly as typed: Chinese, spaces and all.
    type(window, "编辑框1", " http://例子.cn/页?id=4 ");
    type(window, "编辑框2", "d:\\网页\\首页.html");
    click(window, "按钮3");
    QCOMPARE(lastMessage(s.messages), QStringLiteral("第4条任务保存成功"));
    QCOMPARE(raw(s.store.readUrl("4")), raw(gbk(" http://例子.cn/页?id=4 ")));
    QCOMPARE(raw(s.store.readSavePath("4")), raw(gbk("d:\\网页\\首页.html")));
    QCOMPARE(raw(s.store.readTaskCount()), raw("4"));
    // The count goes to the saved number, even below the highest task.
    QCOMPARE(raw(s.store.readUrl("5")), raw("http://h/5"));
    QCOMPARE(raw(s.store.readLoopMinutes()), raw("5"));

    click(window, "按钮1");
    QCOMPARE(lastMessage(s.messages), QStringLiteral("请编辑第5条任务"));
    QCOMPARE(box(window, "编辑框1")->text(), QString());

    // A fresh window opens on the count it wrote.
    ui::NewTaskWindow again(s.store, s.kept, s.messages);
    QCOMPARE(box(again, "编辑框3")->text(), QStringLiteral("4"));
    QCOMPARE(box(again, "编辑框2")->text(), QStringLiteral("d:\\网页\\首页.html"));
}

void NewTaskWindowTest::saveRefuses_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("savePath");
    QTest::addColumn<QString>("taskNumber");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty URL") << "" << "d:\\a.html" << "1" << "动态网址不能为空";
    QTest::newRow("both empty: URL first") << "" << "" << "1" << "动态网址不能为空";
    QTest::newRow("empty path") << "http://a" << "" << "1" << "储存地址不能为空";
    QTest::newRow("empty number") << "http://a" << "d:\\a.html" << "" << "ID不能为空";
    QTest::newRow("emoji in URL") << "http://a/😀" << "d:\\a.html" << "1"
                                  << "动态网址中有无法保存的字符（如表情符号或换行），请删除后再保存";
    QTest::newRow("emoji in path") << "http://a" << "d:\\😀.html" << "1"
                                   << "储存地址中有无法保存的字符（如表情符号或换行），请删除后再保存";
    QTest::newRow("line break in URL") << "http://a\nb" << "d:\\a.html" << "1"
                                       << "动态网址中有无法保存的字符（如表情符号或换行），请删除后再保存";
}

void NewTaskWindowTest::saveRefuses() {
    QFETCH(QString, url);
    QFETCH(QString, savePath);
    QFETCH(QString, taskNumber);
    QFETCH(QString, message);
    DialogSetting s;
    ui::NewTaskWindow window(s.store, s.kept, s.messages);
    box(window, "编辑框1")->setText(url);
    box(window, "编辑框2")->setText(savePath);
    box(window, "编辑框3")->setText(taskNumber);
    click(window, "按钮3");
    QCOMPARE(messagesOf(s.messages), QStringList{message});
    QVERIFY(!fileExists(s.store.configPath()));
    QCOMPARE(box(window, "编辑框1")->text(), url);
}

void NewTaskWindowTest::storedBytesGoBackUnchanged() {
    // Bytes that are not clean GBK (written by another tool) show as U+FFFD, but
    // saving the task unchanged must not rewrite them, nor save it under a new key.
    DialogSetting s;
    const std::string key = "7\xFF";
    const std::string url = "http://h/\xFF\xFE";
    QVERIFY(s.store.writeUrl(key, url));
    QVERIFY(s.store.writeSavePath(key, "d:\\a.html"));
    QVERIFY(s.store.writeTaskCount(key));
    const std::string before = readFileBytes(s.store.configPath());

    ui::NewTaskWindow window(s.store, s.kept, s.messages);
    QVERIFY(box(window, "编辑框3")->text().contains(QChar::ReplacementCharacter));
    click(window, "按钮3");
    QCOMPARE(messagesOf(s.messages), QStringList{"第" + unicode(key) + "条任务保存成功"});
    QCOMPARE(raw(s.messages.texts().front()), raw(gbk("第") + key + gbk("条任务保存成功")));
    QCOMPARE(raw(readFileBytes(s.store.configPath())), raw(before));

    // An edited URL is converted from what the box shows.
    type(window, "编辑框1", "http://h/新");
    click(window, "按钮3");
    QCOMPARE(raw(s.store.readUrl(key)), raw(gbk("http://h/新")));
}

void NewTaskWindowTest::clearAllThenAdd() {
    DialogSetting s;
    s.addTasks({"1", "2"});
    QVERIFY(s.store.writeTaskCount("2"));
    QVERIFY(s.store.writeLoopMinutes("5"));
    ui::NewTaskWindow window(s.store, s.kept, s.messages);
    QCOMPARE(box(window, "编辑框3")->text(), QStringLiteral("2"));

    click(window, "按钮2");
    QCOMPARE(messagesOf(s.messages), QStringList{"所有任务已清空"});
    QVERIFY(!fileExists(s.store.configPath()));
    QCOMPARE(box(window, "编辑框1")->text(), QString());
    QCOMPARE(box(window, "编辑框2")->text(), QString());
    QCOMPARE(box(window, "编辑框3")->text(), QStringLiteral("1"));

    click(window, "按钮1");
    QCOMPARE(lastMessage(s.messages), QStringLiteral("请先编辑并保存第1条任务"));
    // Clearing an already empty list is no failure.
    click(window, "按钮2");
    QCOMPARE(lastMessage(s.messages), QStringLiteral("所有任务已清空"));
}

void NewTaskWindowTest::failedWritesAreReported() {
    TempDir dir;
    store::TaskStore store(unwritableRunDirectory(dir));
    common::KeptTexts kept;
    FakeMessages messages;
    ui::NewTaskWindow window(store, kept, messages);
    type(window, "编辑框1", "http://a");
    type(window, "编辑框2", "d:\\a.html");
    click(window, "按钮3");
    QCOMPARE(messagesOf(messages),
             QStringList{"第1条任务保存失败：无法写入Config.ini，请检查程序所在目录是否可写、磁盘是否已满"});
    QCOMPARE(box(window, "编辑框1")->text(), QStringLiteral("http://a"));
    // Nothing was stored, so "新增" still asks for task 1.
    click(window, "按钮1");
    QCOMPARE(lastMessage(messages), QStringLiteral("请先编辑并保存第1条任务"));
}

void NewTaskWindowTest::failedClearKeepsBoxes() {
    TempDir dir;
    // A Config.ini that cannot be deleted: a directory that is not empty.
    std::filesystem::create_directories(dir.file("Config.ini") + "/inside");
    store::TaskStore store(dir.path());
    common::KeptTexts kept;
    FakeMessages messages;
    ui::NewTaskWindow window(store, kept, messages);
    type(window, "编辑框1", "http://a");
    type(window, "编辑框2", "d:\\a.html");
    click(window, "按钮1");
    messages.clear();
    click(window, "按钮2");
    QCOMPARE(messagesOf(messages), QStringList{"清空失败：无法删除Config.ini，请检查程序所在目录是否可写"});
    QCOMPARE(box(window, "编辑框1")->text(), QStringLiteral("http://a"));
    QCOMPARE(box(window, "编辑框2")->text(), QStringLiteral("d:\\a.html"));
    QCOMPARE(box(window, "编辑框3")->text(), QStringLiteral("1"));
}

void NewTaskWindowTest::enterPressesNothing() {
    DialogSetting s;
    s.addTasks({"1"});
    QVERIFY(s.store.writeTaskCount("1"));
    const std::string before = readFileBytes(s.store.configPath());
    ui::NewTaskWindow window(s.store, s.kept, s.messages);
    checkEnterPressesNothing(window, [&](const QString& focused) {
        QVERIFY2(s.messages.shown().empty(), qPrintable(focused + ": " + lastMessage(s.messages)));
        QCOMPARE(readFileBytes(s.store.configPath()), before);
    });
}

QTEST_MAIN(NewTaskWindowTest)
#include "NewTaskWindowTest.moc"
