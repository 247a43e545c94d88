#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "WindowTestSupport.h"
#include "engine/BuildSettings.h"
#include "support/Loopback.h"
#include "ui/AboutWindow.h"
#include "ui/Icon.h"

using namespace chengfan;
using namespace chengfan::testing;

namespace {

// The browser engine sends every request to a web proxy on this port of
// 127.0.0.1 (set before the engine starts), so nothing leaves this machine.
quint16 proxyPort = 0;

quint16 freeLoopbackPort() {
    int port = 0;
    ::close(chengfan::testing::boundLoopbackSocket(port));
    return static_cast<quint16>(port);
}

// That proxy, standing in for the publisher's host: the browser box loads its
// real address. It serves the about page, or drops every connection as a host
// that is down would. The page may be cached for a day, as a host may allow.
class PublisherStandIn : public QObject {
public:
    PublisherStandIn() {
        if (!server_.listen(QHostAddress::LocalHost, proxyPort)) qFatal("cannot listen on 127.0.0.1");
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) answer(socket);
        });
    }

    bool hostIsDown = false;
    bool aboutPageHangs = false;  // the about page is asked for but never answered
    bool aboutPageMoved = false;  // the about page redirects to an address that drops
    QStringList requests;  // the request lines, in order

private:
    void answer(QTcpSocket* socket) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (hostIsDown) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& request = pending_[socket];
            request += socket->readAll();
            if (!request.contains("\r\n\r\n")) return;
            const QByteArray line = request.left(request.indexOf("\r\n"));
            pending_.remove(socket);
            requests << QString::fromLatin1(line);
            const bool about = line.startsWith("GET http://") && line.contains("/gy.html ");
            if (about && aboutPageHangs) return;
            if (line.contains("/moved.html ")) {
                socket->abort();
                return;
            }
            if (about && aboutPageMoved) {
                socket->write("HTTP/1.1 302 Found\r\nLocation: /moved.html\r\nContent-Length: 0\r\n"
                              "Connection: close\r\n\r\n");
                socket->disconnectFromHost();
                return;
            }
            const QByteArray body =
                about ? QByteArray("<html><head><meta charset=\"utf-8\"><title>关于我们</title></head>"
                                   "<body>about the publisher</body></html>")
                      : QByteArray("not here");
            socket->write((about ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                          QByteArray("Content-Type: text/html; charset=utf-8\r\nContent-Length: ") +
                          QByteArray::number(body.size()) +
                          "\r\nCache-Control: max-age=86400\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

QWebEngineView* browserOf(ui::AboutWindow& window) {
    return control<QWebEngineView>(window, QStringLiteral("超文本浏览框1"));
}

constexpr int kLoadTimeoutMs = 60000;  // the first page also starts the browser engine

}  // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

public:
    static void initMain() {
        // The browser engine wants shared GL contexts, and as root no sandbox.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        proxyPort = freeLoopbackPort();
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--proxy-server=127.0.0.1:" + QByteArray::number(proxyPort));
    }

private slots:
    void frame();
    void showsThePublishersAboutPageAfreshAtEachOpening();
    void showsItsOwnPageWhenTheHostIsDown_data();
    void showsItsOwnPageWhenTheHostIsDown();
    void aFailedLinkAfterThePageIsTheBrowsersBusiness();
    void aLinkFollowedBeforeThePageHasLoadedIsTheBrowsersBusiness();
    void escCloses();
};

void AboutWindowTest::frame() {
    ui::AboutWindow window(QUrl(QStringLiteral("about:blank")));
    checkDialogFrame(window, "AboutWindow", "澄帆3.0关于", QSize(640, 370));
    QVERIFY(window.testAttribute(Qt::WA_SetWindowIcon));
    QCOMPARE(window.windowIcon().pixmap(16, 16).toImage(), ui::programIcon().pixmap(16, 16).toImage());
    QCOMPARE(window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    QWebEngineView* browser = browserOf(window);
    QCOMPARE(browser->geometry(), QRect(0, 0, 640, 336));
    QVERIFY(!browser->isHidden());
    QCOMPARE(ui::AboutWindow::aboutPageAddress(),
             QUrl(QString::fromUtf8(engine::kPublisherHost) + QStringLiteral("/gy.html")));
}

void AboutWindowTest::showsThePublishersAboutPageAfreshAtEachOpening() {
    PublisherStandIn publisher;
    const QString expected = "GET " + ui::AboutWindow::aboutPageAddress().toString() + " HTTP/1.1";
    for (int opening = 1; opening <= 2; ++opening) {
        ui::AboutWindow window;
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(browserOf(window)->title(), QStringLiteral("关于我们"), kLoadTimeoutMs);
        QCOMPARE(publisher.requests.count(expected), opening);
    }
}

void AboutWindowTest::showsItsOwnPageWhenTheHostIsDown_data() {
    QTest::addColumn<bool>("moved");
    QTest::newRow("host down") << false;
    QTest::newRow("redirected to a dead address") << true;
}

void AboutWindowTest::showsItsOwnPageWhenTheHostIsDown() {
    QFETCH(bool, moved);
    PublisherStandIn publisher;
    publisher.hostIsDown = !moved;
    publisher.aboutPageMoved = moved;
    ui::AboutWindow window;
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(browserOf(window)->title(), QStringLiteral("澄帆 3.0"), kLoadTimeoutMs);
    QString text;
    browserOf(window)->page()->toPlainText([&text](const QString& plain) { text = plain; });
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), kLoadTimeoutMs);
    QVERIFY2(text.contains(QStringLiteral("关于页面暂时无法打开")), qPrintable(text));
}

void AboutWindowTest::aFailedLinkAfterThePageIsTheBrowsersBusiness() {
    PublisherStandIn publisher;
    ui::AboutWindow window;
    QWebEngineView* browser = browserOf(window);
    QSignalSpy finished(browser, &QWebEngineView::loadFinished);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), kLoadTimeoutMs);
    QCOMPARE(finished.takeFirst().first().toBool(), true);
    QCOMPARE(browser->title(), QStringLiteral("关于我们"));
    publisher.hostIsDown = true;
    browser->setUrl(QUrl(QString::fromUtf8(engine::kPublisherHost) + QStringLiteral("/elsewhere.html")));
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), kLoadTimeoutMs);
    QCOMPARE(finished.first().first().toBool(), false);
    // No built-in page follows: once the renderer has answered a question asked
    // after the failure, no further load has started.
    QSignalSpy started(browser, &QWebEngineView::loadStarted);
    bool answered = false;
    browser->page()->toPlainText([&answered](const QString&) { answered = true; });
    QTRY_VERIFY_WITH_TIMEOUT(answered, kLoadTimeoutMs);
    QCOMPARE(started.count(), 0);
    QVERIFY(browser->title() != QStringLiteral("澄帆 3.0"));
}

void AboutWindowTest::aLinkFollowedBeforeThePageHasLoadedIsTheBrowsersBusiness() {
    PublisherStandIn publisher;
    publisher.aboutPageHangs = true;
    ui::AboutWindow window;
    QWebEngineView* browser = browserOf(window);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(publisher.requests.size(), qsizetype(1), kLoadTimeoutMs);

    publisher.hostIsDown = true;
    const QUrl elsewhere(QString::fromUtf8(engine::kPublisherHost) + QStringLiteral("/elsewhere.html"));
    bool linkFailed = false;
    int startsAfterFailure = 0;
    connect(browser->page(), &QWebEnginePage::loadingChanged, this, [&](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.url() == elsewhere) linkFailed = true;
        else if (linkFailed && info.status() == QWebEngineLoadingInfo::LoadStartedStatus) ++startsAfterFailure;
    });
    browser->setUrl(elsewhere);
    QTRY_VERIFY_WITH_TIMEOUT(linkFailed, kLoadTimeoutMs);
    bool answered = false;
    browser->page()->toPlainText([&answered](const QString&) { answered = true; });
    QTRY_VERIFY_WITH_TIMEOUT(answered, kLoadTimeoutMs);
    QCOMPARE(startsAfterFailure, 0);
    QVERIFY(browser->title() != QStringLiteral("澄帆 3.0"));
}

void AboutWindowTest::escCloses() {
    PublisherStandIn publisher;
    ui::AboutWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWebEngineView* browser = browserOf(window);
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("关于我们"), kLoadTimeoutMs);
    // With the page itself focused, Esc still reaches the window once the page
    // has declined it.
    QWidget* page = browser->focusProxy() != nullptr ? browser->focusProxy() : browser;
    page->setFocus();
    QTest::keyClick(page, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), kLoadTimeoutMs);
    QCOMPARE(window.result(), int(QDialog::Rejected));
}

QTEST_MAIN(AboutWindowTest)
#include "AboutWindowTest.moc"
