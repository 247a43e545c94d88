// MainWindow driven through its controls, found by their names, on the offscreen
// platform. The engine's services are fakes; the only network is a loopback
// proxy that every request of the window (and of a dialog's browser) goes to.

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>

#include "FakeBrowser.h"
#include "FakeClock.h"
#include "FakeMessages.h"
#include "FakeNetwork.h"
#include "FakeProgram.h"
#include "TempDir.h"
#include "common/Gbk.h"
#include "common/KeptTexts.h"
#include "engine/BuildSettings.h"
#include "store/TaskStore.h"
#include "ui/MainWindow.h"
#include "ui/AboutWindow.h"
#include "ui/EditTaskWindow.h"
#include "ui/LoopTimeWindow.h"
#include "ui/NewTaskWindow.h"
#include "ui/NoticeBox.h"
#include "ui/QtMessageService.h"
#include "ui/Translations.h"

using namespace chengfan;
using engine::TimerId;

namespace {

enum DialogKind { newTask, editTask, loopTime, about };

int kindOf(QWidget* window) {
    if (dynamic_cast<ui::NewTaskWindow*>(window)) return newTask;
    if (dynamic_cast<ui::EditTaskWindow*>(window)) return editTask;
    if (dynamic_cast<ui::LoopTimeWindow*>(window)) return loopTime;
    if (dynamic_cast<ui::AboutWindow*>(window)) return about;
    return -1;
}

common::Text gbk(const char* utf8) { return *common::utf8ToGbk(utf8); }

// An HTTP proxy on 127.0.0.1 that answers everything and records what was asked.
// One address can be redirected to another page, so the test can see which page
// a reload asks for.
class LoopbackProxy : public QObject {
public:
    LoopbackProxy() {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    buffers_.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }
    ~LoopbackProxy() override {
        // The sockets go with the server; none may reach back into this object
        // while it is being torn down.
        for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) socket->blockSignals(true);
    }
    quint16 port() const { return server_.serverPort(); }
    QStringList requests;
    // A request for this address is answered with a redirect to /jt/moved.html.
    QString redirected;

private:
    // Connections are kept open: a connection closed under a client that has not
    // read its answer yet makes it send the request again.
    void serve(QTcpSocket* socket) {
        QByteArray& pending = buffers_[socket];
        pending += socket->readAll();
        for (qsizetype end = pending.indexOf("\r\n\r\n"); end >= 0;
             end = pending.indexOf("\r\n\r\n")) {
            const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
            pending.remove(0, end + 4);
            const QString target = QString::fromLatin1(requestLine.value(1));
            requests << target;
            if (target == redirected) {
                socket->write("HTTP/1.1 302 Found\r\nLocation: " +
                              QByteArray(engine::kPublisherHost) +
                              "/jt/moved.html\r\nContent-Length: 0\r\n\r\n");
            } else {
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                              "Content-Length: 2\r\n\r\nok");
            }
        }
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
};

// Closes the modal window that is open next, after looking at it. The watch ends
// with the test that set it.
std::unique_ptr<QObject> closeNextModal(std::function<void(QWidget*)> look) {
    auto watch = std::make_unique<QObject>();
    auto* poll = new QTimer(watch.get());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, look] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        poll->stop();
        look(modal);
        modal->close();
    });
    poll->start(10);
    return watch;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    struct Rig {
        testing::TempDir dir;
        store::TaskStore store{dir.path()};
        common::KeptTexts kept;
        testing::FakeMessages messages;
        testing::FakeNetwork network;
        testing::FakeBrowser browser;
        testing::FakeProgram program;
        testing::FakeClock clock;
        std::unique_ptr<ui::MainWindow> window;

        ui::MainWindow& open(const QUrl& noticePage = ui::MainWindow::defaultNoticePage()) {
            window = std::make_unique<ui::MainWindow>(
                store, kept, engine::Services{messages, network, browser, program, clock},
                noticePage);
            window->show();
            return *window;
        }
        template <typename T>
        T& find(const char* name) {
            T* child = window->findChild<T*>(QString::fromUtf8(name));
            if (child == nullptr) qFatal("no control %s", name);
            return *child;
        }
        QTimer& timer(int number) {
            return find<QTimer>(QStringLiteral("时钟%1").arg(number).toUtf8().constData());
        }
        // 0 for a stopped timer, else its interval.
        int period(int number) {
            QTimer& t = timer(number);
            return t.isActive() ? t.interval() : 0;
        }
        // A click as the window system delivers it, so modality applies to it.
        void clickAsUser(const char* name) {
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                              find<QPushButton>(name).geometry().center());
        }
        void storeTask(const char* number, const char* url, const char* savePath) {
            store.writeUrl(number, gbk(url));
            store.writeSavePath(number, gbk(savePath));
        }
    };

    std::unique_ptr<LoopbackProxy> proxy_;

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        proxy_ = std::make_unique<LoopbackProxy>();
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy_->port()));
    }

    void showsEveryControlAsLaidOut() {
        Rig rig;
        ui::MainWindow& window = rig.open();

        QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window.windowTitle(), QStringLiteral("澄帆3.0版 (青禾文社）"));
        QCOMPARE(window.size(), QSize(407, 546));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        // Centred by its outer size, 409 x 572, with integer division.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window.pos(), QPoint(screen.x() + (screen.width() - 409) / 2,
                                      screen.y() + (screen.height() - 572) / 2));
        QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!window.windowIcon().isNull());
        QVERIFY(!window.windowIcon().pixmap(16, 16).isNull());

        enum Kind { label, box, button };
        struct Control {
            const char* name;
            Kind kind;
            QRect geometry;
            const char* text;
            bool enabled;
            bool visible;
        };
        const Control controls[] = {
            {"标签1", label, {48, 19, 288, 32}, "尚未启动任务", true, true},
            {"标签5", label, {0, 64, 384, 78}, "0年0月0日0时0分0秒", true, true},
            {"按钮8", button, {16, 160, 96, 48}, "修改任务", true, true},
            {"按钮9", button, {136, 159, 96, 48}, "新增任务", true, true},
            {"按钮6", button, {264, 159, 104, 48}, "关于", true, true},
            {"标签8", label, {9, 225, 64, 32}, "当前执行任务", true, true},
            {"编辑框5", box, {88, 228, 64, 24}, "0", false, true},
            {"标签7", label, {200, 224, 64, 32}, "剩余任务", true, true},
            {"编辑框1", box, {273, 227, 64, 24}, "0", false, true},
            {"标签2", label, {8, 254, 168, 31}, "需静态化的动态网址", true, true},
            {"编辑框2", box, {6, 289, 379, 38}, "", false, true},
            {"标签3", label, {6, 328, 152, 24}, "静态化后储存地址", true, true},
            {"编辑框3", box, {3, 355, 376, 40}, "", false, true},
            {"标签4", label, {0, 401, 216, 19}, " 循环刷新时间\n（时间单位：分）", true, true},
            {"编辑框4", box, {10, 429, 270, 43}, "", false, true},
            {"按钮4", button, {290, 427, 70, 40}, "修改时间", true, true},
            {"按钮1", button, {8, 488, 100, 50}, "启动", true, true},
            {"按钮2", button, {120, 485, 100, 50}, "终止", true, true},
            {"按钮3", button, {231, 481, 100, 50}, "退出", true, true},
            {"编辑框6", box, {64, 0, 40, 24}, "3.0", true, false},
        };
        const QRect client(0, 0, 407, 546);
        for (const Control& c : controls) {
            const QByteArray context = QByteArray("control ") + c.name;
            QWidget& widget = rig.find<QWidget>(c.name);
            QVERIFY2(widget.parentWidget() == &window, context);
            QCOMPARE(widget.geometry(), c.geometry);
            QVERIFY2(client.contains(widget.geometry()), context);
            QVERIFY2(widget.isEnabled() == c.enabled, context);
            QVERIFY2(widget.isVisible() == c.visible, context);
            QString text;
            if (c.kind == label) {
                text = qobject_cast<QLabel*>(&widget)->text();
                if (Qt::mightBeRichText(text)) text = QTextDocumentFragment::fromHtml(text).toPlainText();
            }
            if (c.kind == box) text = qobject_cast<QLineEdit*>(&widget)->text();
            if (c.kind == button) {
                auto* pushButton = qobject_cast<QPushButton*>(&widget);
                text = pushButton->text();
                QVERIFY2(!pushButton->autoDefault() && !pushButton->isDefault(), context);
            }
            QCOMPARE(text, QString::fromUtf8(c.text));
        }

        struct Look {
            const char* name;
            QColor colour;  // invalid: the default
            int pixels;     // 0: the default font
            bool bold;
        };
        const Look looks[] = {
            {"标签1", QColor(255, 0, 0), 32, false}, {"标签5", QColor(0, 0, 255), 24, true},
            {"标签7", QColor(255, 0, 0), 15, true},  {"标签8", QColor(255, 0, 0), 15, true},
            {"标签2", QColor(), 15, false},          {"标签3", QColor(), 15, false},
            {"编辑框5", QColor(255, 0, 0), 15, false}, {"编辑框1", QColor(255, 0, 0), 15, false},
            {"按钮1", QColor(), 35, false},           {"按钮2", QColor(), 35, false},
            {"按钮3", QColor(), 35, false},
        };
        for (const Look& look : looks) {
            const QByteArray context = QByteArray("look of ") + look.name;
            QWidget& widget = rig.find<QWidget>(look.name);
            QVERIFY2(widget.font().pixelSize() == look.pixels, context);
            QVERIFY2(widget.font().bold() == look.bold, context);
            if (look.colour.isValid()) {
                const QPalette::ColorRole role =
                    qobject_cast<QLineEdit*>(&widget) ? QPalette::Text : QPalette::WindowText;
                // The disabled boxes keep their colour too.
                QVERIFY2(widget.palette().color(QPalette::Disabled, role) == look.colour, context);
                QVERIFY2(widget.palette().color(QPalette::Active, role) == look.colour, context);
            }
        }
        QCOMPARE(rig.find<QLabel>("标签1").alignment(), Qt::AlignCenter);
        QCOMPARE(rig.find<QLabel>("标签5").alignment(), Qt::AlignCenter);
        QCOMPARE(rig.find<QLabel>("标签2").alignment(), Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(rig.find<QLabel>("标签5").font().families().value(0), QStringLiteral("新宋体"));

        // Only the 12-hour notice reload runs; every timer is precise.
        const int periods[] = {0, 0, 0, 0, 0, 43200000};
        for (int number = 1; number <= 6; ++number) {
            QCOMPARE(rig.period(number), periods[number - 1]);
            QCOMPARE(rig.timer(number).timerType(), Qt::PreciseTimer);
        }
    }

    // 标签8's caption breaks onto two whole lines within its 32 px; 标签7's one
    // line sits in the middle.
    void captionsFitTheirLabels() {
        Rig rig;
        rig.open();
        // The runs of pixel rows that hold red ink: one per line of text.
        const auto lines = [&](const char* name) {
            const QImage image = rig.find<QLabel>(name).grab().toImage();
            std::vector<std::pair<int, int>> runs;  // first and last row
            for (int y = 0; y < image.height(); ++y) {
                bool ink = false;
                for (int x = 0; x < image.width() && !ink; ++x) {
                    const QColor colour = image.pixelColor(x, y);
                    ink = colour.red() > 160 && colour.green() < 100 && colour.blue() < 100;
                }
                if (!ink) continue;
                if (!runs.empty() && runs.back().second == y - 1) {
                    runs.back().second = y;
                } else {
                    runs.emplace_back(y, y);
                }
            }
            return std::pair{runs, image.height()};
        };

        const auto [twoLines, height8] = lines("标签8");
        QCOMPARE(twoLines.size(), std::size_t(2));
        const int first = twoLines[0].second - twoLines[0].first;
        const int second = twoLines[1].second - twoLines[1].first;
        QVERIFY2(first >= 9, "the first line is cut");
        QVERIFY2(second >= first - 2, "the second line is cut");
        QVERIFY(twoLines[1].second < height8);

        const auto [oneLine, height7] = lines("标签7");
        QCOMPARE(oneLine.size(), std::size_t(1));
        const int above = oneLine[0].first;
        const int below = height7 - 1 - oneLine[0].second;
        QVERIFY2(std::abs(above - below) <= 3, "the line is not centred");
    }

    void showsTheFirstStoredTaskInUnicode() {
        Rig rig;
        rig.storeTask("1", "http://127.0.0.1/动态.php?页=1", "/tmp/静态页.html");
        rig.store.writeTaskCount("3");
        rig.store.writeLoopMinutes(gbk("5"));
        rig.open();

        QCOMPARE(rig.find<QLineEdit>("编辑框2").text(), QStringLiteral("http://127.0.0.1/动态.php?页=1"));
        QCOMPARE(rig.find<QLineEdit>("编辑框3").text(), QStringLiteral("/tmp/静态页.html"));
        QCOMPARE(rig.find<QLineEdit>("编辑框4").text(), QStringLiteral("5"));
        QCOMPARE(rig.find<QLineEdit>("编辑框5").text(), QStringLiteral("1"));
        QCOMPARE(rig.find<QLineEdit>("编辑框1").text(), QStringLiteral("2"));
        // Loaded, then disabled whatever was found.
        for (const char* name : {"编辑框2", "编辑框3", "编辑框4"}) {
            QVERIFY(!rig.find<QLineEdit>(name).isEnabled());
        }
    }

    void startShowsTheRunningStatusBeforeTheDownload() {
        Rig rig;
        rig.storeTask("1", "http://127.0.0.1:9/a.php", "a.html");
        rig.store.writeTaskCount("1");
        rig.store.writeLoopMinutes("1");
        rig.open();
        QString statusDuringDownload;
        rig.network.setOnDownload([&](const testing::FakeNetwork::Download&) {
            statusDuringDownload = rig.find<QLabel>("标签1").text();
        });

        rig.clickAsUser("按钮1");

        QCOMPARE(rig.network.downloads().size(), std::size_t{1});
        QCOMPARE(statusDuringDownload, QStringLiteral("任务进行中......"));
        QCOMPARE(rig.find<QLabel>("标签1").text(), QStringLiteral("最后一次生成时间"));
        QCOMPARE(rig.period(1), 60000);

        rig.clickAsUser("按钮2");
        for (int number = 1; number <= 5; ++number) QCOMPARE(rig.period(number), 0);
        QCOMPARE(rig.period(6), 43200000);
    }

    void escClosesAndEnterPressesNothing() {
        Rig rig;
        rig.storeTask("1", "http://127.0.0.1:9/a.php", "a.html");
        rig.store.writeTaskCount("1");
        rig.store.writeLoopMinutes("1");
        ui::MainWindow& window = rig.open();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // Enter on every button, focused in turn: none is pressed, no dialog opens
        // and no run starts.
        for (const char* name : {"按钮1", "按钮2", "按钮3", "按钮4", "按钮6", "按钮8", "按钮9"}) {
            QPushButton& button = rig.find<QPushButton>(name);
            button.setFocus();
            bool clicked = false;
            auto connection = connect(&button, &QPushButton::clicked, [&] { clicked = true; });
            QTest::keyClick(&button, Qt::Key_Return);
            QTest::keyClick(&button, Qt::Key_Enter);
            disconnect(connection);
            QVERIFY2(!clicked, name);
            QVERIFY2(button.hasFocus(), name);
        }
        QVERIFY(rig.network.downloads().empty());
        QVERIFY(window.isVisible());

        rig.timer(1).start(60000);  // a run in progress
        QTest::keyClick(&rig.find<QPushButton>("按钮2"), Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        for (int number = 1; number <= 6; ++number) QVERIFY(!rig.timer(number).isActive());
    }

    void exitButtonClosesTheWindowAndStopsTheRun() {
        Rig rig;
        ui::MainWindow& window = rig.open();
        window.state().setTimerPeriod(TimerId::timer2, 10000);
        QTest::mouseClick(&rig.find<QPushButton>("按钮3"), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(!rig.timer(2).isActive());
    }

    void dialogButtonsHandTheTimersOver_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("dialog");
        QTest::addColumn<QList<int>>("periods");  // 时钟1 to 时钟5 after the click
        // Before each click a pass runs (时钟1, 时钟2) and 时钟3 and 时钟5 refresh.
        QTest::newRow("新增任务") << QStringLiteral("按钮9") << int(newTask)
                              << QList<int>{0, 0, 0, 1000, 0};
        QTest::newRow("修改任务") << QStringLiteral("按钮8") << int(editTask)
                              << QList<int>{0, 0, 1000, 0, 0};
        QTest::newRow("修改时间") << QStringLiteral("按钮4") << int(loopTime)
                              << QList<int>{0, 0, 0, 0, 1000};
        QTest::newRow("关于") << QStringLiteral("按钮6") << int(about)
                            << QList<int>{60000, 10000, 0, 0, 0};
    }

    void dialogButtonsHandTheTimersOver() {
        QFETCH(QString, button);
        QFETCH(int, dialog);
        QFETCH(QList<int>, periods);
        Rig rig;
        rig.storeTask("1", "http://127.0.0.1:9/a.php", "a.html");
        rig.store.writeTaskCount("1");
        ui::MainWindow& window = rig.open();
        const std::pair<TimerId, int> before[] = {{TimerId::timer1, 60000},
                                                  {TimerId::timer2, 10000},
                                                  {TimerId::timer3, 1000},
                                                  {TimerId::timer5, 1000}};
        for (auto [id, period] : before) window.state().setTimerPeriod(id, period);

        int openedKind = -1;
        QList<int> periodsWhileOpen;
        Qt::WindowModality modality = Qt::NonModal;
        QPointer<QWidget> opened;
        auto watch = closeNextModal([&](QWidget* modal) {
            opened = modal;
            openedKind = kindOf(modal);
            modality = modal->windowModality();
            for (int number = 1; number <= 5; ++number) periodsWhileOpen << rig.period(number);
            // MainWindow takes no click while the dialog is open: clicks delivered
            // as the window system delivers them, so the modality applies.
            rig.clickAsUser("按钮1");
            rig.clickAsUser("按钮2");
        });
        QTest::mouseClick(&rig.find<QPushButton>(button.toUtf8().constData()), Qt::LeftButton);

        QCOMPARE(openedKind, dialog);
        QCOMPARE(modality, Qt::ApplicationModal);
        QCOMPARE(periodsWhileOpen, periods);
        QVERIFY(rig.network.probes().empty());
        QTRY_VERIFY(opened.isNull());  // destroyed on close
        QList<int> after;
        for (int number = 1; number <= 5; ++number) after << rig.period(number);
        QCOMPARE(after, periods);  // nothing is undone when the dialog closes
        QCOMPARE(rig.period(6), 43200000);
    }

    void secondEditKeepsTheRefreshRhythm() {
        Rig rig;
        rig.store.writeTaskCount("1");
        rig.open();
        {
            auto watch = closeNextModal([](QWidget*) {});
            QTest::mouseClick(&rig.find<QPushButton>("按钮8"), Qt::LeftButton);
        }
        QCOMPARE(rig.period(3), 1000);
        // Let part of the period pass, then open the window again: a restarted
        // timer would be due a whole second from now.
        QTRY_VERIFY(rig.timer(3).remainingTime() > 300 && rig.timer(3).remainingTime() < 600);
        const int dueBefore = rig.timer(3).remainingTime();
        int dueWhileOpen = -1;
        auto watch = closeNextModal([&](QWidget*) { dueWhileOpen = rig.timer(3).remainingTime(); });
        QTest::mouseClick(&rig.find<QPushButton>("按钮8"), Qt::LeftButton);
        QVERIFY(dueWhileOpen >= 0);
        QVERIFY2(dueWhileOpen <= dueBefore,
                 qPrintable(QStringLiteral("%1 > %2").arg(dueWhileOpen).arg(dueBefore)));
    }

    void editWithoutTasksOnlySaysSo() {
        Rig rig;
        rig.storeTask("1", "http://127.0.0.1:9/a.php", "a.html");  // tasks, but no count
        ui::MainWindow& window = rig.open();
        window.state().setTimerPeriod(TimerId::timer2, 10000);
        window.state().setTimerPeriod(TimerId::timer4, 1000);
        bool dialogOpened = false;
        auto watch = closeNextModal([&](QWidget*) { dialogOpened = true; });

        QTest::mouseClick(&rig.find<QPushButton>("按钮8"), Qt::LeftButton);

        QCOMPARE(rig.messages.texts(), std::vector<common::Text>{gbk("当前没有任务")});
        QTest::qWait(50);
        QVERIFY(!dialogOpened);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(rig.period(2), 10000);  // the pass goes on
        QCOMPARE(rig.period(4), 1000);   // and so does the refresh
        QCOMPARE(rig.period(3), 0);
    }

    void messageBoxWaitsWhileTimersTick() {
        Rig rig;
        rig.store.writeTaskCount("1");
        rig.storeTask("1", "http://127.0.0.1:9/old.php", "old.html");
        ui::MainWindow& window = rig.open();
        window.state().setTimerPeriod(TimerId::timer3, 1000);

        QString title;
        QString text;
        QStringList buttons;
        QMessageBox::Icon icon = QMessageBox::Information;
        Qt::WindowModality modality = Qt::NonModal;
        bool refreshedWhileOpen = false;
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            if (title.isEmpty()) {
                title = box->windowTitle();
                text = box->text();
                for (QAbstractButton* b : box->buttons()) buttons << b->text();
                icon = box->icon();
                modality = box->windowModality();
                rig.storeTask("1", "http://127.0.0.1:9/新.php", "new.html");
            }
            // The refresh of 时钟3 runs inside the box's wait.
            if (rig.find<QLineEdit>("编辑框2").text() != QStringLiteral("http://127.0.0.1:9/新.php")) return;
            refreshedWhileOpen = true;
            poll->stop();
            QTest::mouseClick(box->buttons().value(0), Qt::LeftButton);
        });
        poll->start(20);

        ui::QtMessageService messages;
        messages.showMessage(gbk("没联网！请检查您的网络！"));

        QVERIFY(refreshedWhileOpen);
        QCOMPARE(title, QStringLiteral("温馨提示"));
        QCOMPARE(text, QStringLiteral("没联网！请检查您的网络！"));
        QCOMPARE(buttons, QStringList{QStringLiteral("确定")});
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(modality, Qt::ApplicationModal);
        QCOMPARE(rig.find<QLineEdit>("编辑框3").text(), QStringLiteral("new.html"));
    }

    void qtOwnTextsAreChinese() {
        QVERIFY(ui::installChineseTranslations(*qApp));
        Rig rig;
        rig.open();
        std::unique_ptr<QMenu> menu(rig.find<QLineEdit>("编辑框2").createStandardContextMenu());
        QStringList entries;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) entries << action->text();
        }
        QVERIFY2(entries.join(' ').contains(QStringLiteral("复制")), qPrintable(entries.join(' ')));
        QVERIFY2(entries.join(' ').contains(QStringLiteral("全选")), qPrintable(entries.join(' ')));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    }

    void requestsThePublishersNoticePage() {
        proxy_->requests.clear();
        Rig rig;
        rig.open();
        QTRY_VERIFY(proxy_->requests.contains(QString::fromLatin1(engine::kPublisherHost) +
                                              QStringLiteral("/jt/jttj.html")));
    }

    void reloadsTheCurrentPageEveryTwelveHours() {
        // A page of its own, so that no request of an earlier window interferes.
        const QString host = QString::fromLatin1(engine::kPublisherHost);
        proxy_->redirected = host + QStringLiteral("/jt/jttj.html?reload");
        proxy_->requests.clear();
        Rig rig;
        rig.open(QUrl(proxy_->redirected));
        // Requested at creation; the server redirects it, and the box then shows
        // the page it was led to.
        QTRY_COMPARE(rig.find<ui::NoticeBox>("超文本浏览框1").currentPage(),
                     QUrl(host + "/jt/moved.html"));
        QVERIFY(proxy_->requests.contains(proxy_->redirected));
        QVERIFY(proxy_->requests.contains(host + "/jt/moved.html"));
        QCOMPARE(rig.period(6), 43200000);
        proxy_->requests.clear();

        // The reload asks for the page the box shows, not for the address it began with.
        QMetaObject::invokeMethod(&rig.timer(6), "timeout");
        QTRY_VERIFY(proxy_->requests.contains(host + "/jt/moved.html"));
        QVERIFY(!proxy_->requests.contains(proxy_->redirected));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
