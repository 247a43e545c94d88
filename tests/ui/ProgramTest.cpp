// The built program as a user meets it: started from a copy of its directory on
// a virtual display of its own, closed by Esc and by the Exit button, its about
// window's browser started as root, and started where there is no display at all.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "TempDir.h"

namespace {

constexpr int kWaitMs = 60000;

// Runs a tool to its end and gives what it printed, trimmed; a failure gives
// nothing (and is reported when it is not expected).
QString run(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment, bool mayFail = false) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(kWaitMs) || process.exitCode() != 0) {
        if (!mayFail) qWarning() << program << arguments << "failed:" << process.readAllStandardError();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The processes of the browser engine under the program: its zygotes are the
// program's children, and a page is rendered in a process forked from one.
bool pageRendererRunsUnder(qint64 programPid) {
    const auto parentOf = [](const QString& pid) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly)) return QString();
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("PPid:")) return QString::fromLatin1(line.mid(5).trimmed());
        }
        return QString();
    };
    const auto isEngine = [](const QString& pid) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("QtWebEngineProcess");
    };
    const QString program = QString::number(programPid);
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!isEngine(pid)) continue;
        const QString parent = parentOf(pid);
        if (isEngine(parent) && parentOf(parent) == program) return true;
    }
    return false;
}

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT

    QProcess xvfb_;
    QString display_;

    // The program copied into a fresh directory, with a Config.ini of its own.
    struct Installed {
        chengfan::testing::TempDir dir;
        QString program;
        QByteArray config = QByteArray("[ID]\r\nID=1\r\n[\xB6\xAF\xCC\xAC\xCD\xF8\xD6\xB7]\r\n"
                                       "1=http://127.0.0.1:9/a.php\r\n");
        Installed() {
            program = QString::fromStdString(dir.file("chengfan"));
            QFile::copy(QStringLiteral(CHENGFAN_PROGRAM), program);
            QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
            // The modules that live beside the program go with it.
            const QDir built = QFileInfo(QStringLiteral(CHENGFAN_PROGRAM)).dir();
            for (const QString& module : built.entryList({QStringLiteral("*.so")}, QDir::Files)) {
                QFile::copy(built.filePath(module), QString::fromStdString(dir.file(module.toStdString())));
            }
            QFile file(QString::fromStdString(dir.file("Config.ini")));
            file.open(QIODevice::WriteOnly);
            file.write(config);
        }
        QByteArray configNow() const {
            QFile file(QString::fromStdString(dir.file("Config.ini")));
            file.open(QIODevice::ReadOnly);
            return file.readAll();
        }
    };

    // The environment of a desktop session on our display; the notice request
    // goes to a closed port on this machine.
    QProcessEnvironment desktop() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"));
        environment.insert(QStringLiteral("DISPLAY"), display_);
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"}) {
            environment.insert(QString::fromLatin1(name), QStringLiteral("http://127.0.0.1:9"));
        }
        environment.remove(QStringLiteral("no_proxy"));
        environment.remove(QStringLiteral("NO_PROXY"));
        return environment;
    }

    // Starts the program from "/" (it must find its directory itself) and gives
    // the X window id of MainWindow once it is shown.
    QString start(QProcess& process, const Installed& installed) {
        process.setProcessEnvironment(desktop());
        process.setWorkingDirectory(QStringLiteral("/"));
        process.start(installed.program, {});
        if (!process.waitForStarted(kWaitMs)) return {};
        return run(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--sync"),
                    QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                    QStringLiteral("澄帆3.0版")},
                   desktop())
            .section(QLatin1Char('\n'), 0, 0);
    }

    void expectCleanEnd(QProcess& process, const Installed& installed) {
        QVERIFY2(process.waitForFinished(kWaitMs), "the program did not end");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(installed.configNow(), installed.config);  // nothing written on the way out
    }

private slots:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "xdotool"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(tool)));
            }
        }
        for (int number = 90; number < 200; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) {
                continue;
            }
            display_ = QStringLiteral(":%1").arg(number);
            xvfb_.start(QStringLiteral("Xvfb"),
                        {display_, QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
            QVERIFY(xvfb_.waitForStarted(kWaitMs));
            QTRY_VERIFY_WITH_TIMEOUT(
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
                    xvfb_.state() == QProcess::NotRunning,
                kWaitMs);
            if (xvfb_.state() == QProcess::Running) return;
        }
        QFAIL("no virtual display could be started");
    }

    void cleanupTestCase() {
        if (xvfb_.state() == QProcess::Running) {
            xvfb_.terminate();
            xvfb_.waitForFinished(kWaitMs);
        }
    }

    void escEndsTheProgramWithCodeZero() {
        Installed installed;
        QProcess process;
        const QString window = start(process, installed);
        QVERIFY2(!window.isEmpty(), "MainWindow was not shown");
        run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window},
            desktop());
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}, desktop());
        expectCleanEnd(process, installed);
    }

    void exitButtonEndsTheProgramWithCodeZero() {
        Installed installed;
        QProcess process;
        const QString window = start(process, installed);
        QVERIFY2(!window.isEmpty(), "MainWindow was not shown");
        // The middle of 按钮3 ("退出") in MainWindow's client area.
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("281"),
             QStringLiteral("506"), QStringLiteral("click"), QStringLiteral("1")},
            desktop());
        expectCleanEnd(process, installed);
    }

    void aboutWindowsBrowserStartsAsRoot() {
        if (geteuid() != 0) QSKIP("not running as root");
        Installed installed;
        QProcess process;
        const QString window = start(process, installed);
        QVERIFY2(!window.isEmpty(), "MainWindow was not shown");
        // The middle of 按钮6 ("关于").
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("316"),
             QStringLiteral("183"), QStringLiteral("click"), QStringLiteral("1")},
            desktop());
        const QString about = run(QStringLiteral("xdotool"),
                                  {QStringLiteral("search"), QStringLiteral("--sync"),
                                   QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                   QStringLiteral("澄帆3.0关于")},
                                  desktop())
                                  .section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(!about.isEmpty(), "AboutWindow was not shown");
        // The engine refuses to run as root with its sandbox; the program turns it
        // off itself (the environment here does not).
        QTRY_VERIFY_WITH_TIMEOUT(pageRendererRunsUnder(process.processId()), kWaitMs);

        for (const QString& target : {about, window}) {
            run(QStringLiteral("xdotool"),
                {QStringLiteral("windowfocus"), QStringLiteral("--sync"), target}, desktop());
            run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")},
                desktop());
            if (target == about) {
                QTRY_VERIFY_WITH_TIMEOUT(
                    run(QStringLiteral("xdotool"),
                        {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("澄帆3.0关于")},
                        desktop(), true)
                        .isEmpty(),
                    kWaitMs);
            }
        }
        expectCleanEnd(process, installed);
    }

    // An idle window carries no download library; pressing Start loads it.
    void theDownloadLibraryLoadsOnlyWhenARunStarts() {
        const auto mapsCurl = [](qint64 pid) {
            QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libcurl");
        };
        Installed installed;
        QProcess process;
        const QString window = start(process, installed);
        QVERIFY2(!window.isEmpty(), "MainWindow was not shown");
        QTest::qWait(500);  // the notice request has gone out by now
        QVERIFY(!mapsCurl(process.processId()));
        // The middle of 按钮1 ("启动"): the connectivity probe goes to the closed
        // proxy port and ends in the offline message.
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("58"),
             QStringLiteral("513"), QStringLiteral("click"), QStringLiteral("1")},
            desktop());
        QTRY_VERIFY_WITH_TIMEOUT(mapsCurl(process.processId()), kWaitMs);
        process.kill();
        process.waitForFinished(kWaitMs);
    }

    void withoutAnyDisplayItSaysSoAndEnds() {
        Installed installed;
        QProcessEnvironment environment = desktop();
        environment.remove(QStringLiteral("DISPLAY"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(installed.program, {});
        QVERIFY(process.waitForFinished(kWaitMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 255);  // -1
        QVERIFY(QString::fromUtf8(process.readAllStandardError())
                    .contains(QStringLiteral("没有可用的图形显示")));
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "ProgramTest.moc"
