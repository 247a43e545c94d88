#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTextBrowser>

#include "WindowTestSupport.h"
#include "ui/AboutWindow.h"

using namespace chengfan;
using namespace chengfan::testing;

// This program runs from a directory without the browser module: AboutWindow
// must still open, with its own page where the browser box would be.
class AboutWindowWithoutBrowserTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheBuiltInPage_data();
    void showsTheBuiltInPage();
};

void AboutWindowWithoutBrowserTest::showsTheBuiltInPage_data() {
    QTest::addColumn<QByteArray>("moduleBytes");  // empty: no module file at all
    QTest::newRow("module missing") << QByteArray();
    QTest::newRow("module not a library") << QByteArray("\x7f" "ELF but cut short");
}

void AboutWindowWithoutBrowserTest::showsTheBuiltInPage() {
    QFETCH(QByteArray, moduleBytes);
    const QString modulePath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/" CHENGFAN_BROWSER_MODULE_FILE);
    QFile module(modulePath);
    QVERIFY2(!module.exists(), "the browser module lies beside this test program");
    const auto removeModule = qScopeGuard([&module] { module.remove(); });
    if (!moduleBytes.isEmpty()) {
        QVERIFY(module.open(QIODevice::WriteOnly));
        QCOMPARE(module.write(moduleBytes), moduleBytes.size());
        module.close();
    }

    // The program says why, naming the module it looked for.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(modulePath)));
    ui::AboutWindow window;
    checkDialogFrame(window, "AboutWindow", "澄帆3.0关于", QSize(640, 370));
    QCOMPARE(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    auto* box = control<QTextBrowser>(window, QStringLiteral("超文本浏览框1"));
    QCOMPARE(box->geometry(), QRect(0, 0, 640, 336));
    QCOMPARE(box->documentTitle(), QStringLiteral("澄帆 3.0"));
    QVERIFY2(box->toPlainText().contains(QStringLiteral("关于页面暂时无法打开")),
             qPrintable(box->toPlainText()));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(box->isVisible());
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Rejected));
}

QTEST_MAIN(AboutWindowWithoutBrowserTest)
#include "AboutWindowWithoutBrowserTest.moc"
