#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <new>

#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <QNetworkProxyFactory>

#include "common/KeptTexts.h"
#include "engine/SystemServices.h"
#include "store/TaskStore.h"
#include "ui/MainWindow.h"
#include "ui/QtBrowser.h"
#include "ui/QtMessageService.h"
#include "ui/QtProgram.h"
#include "ui/Translations.h"

namespace {

// Without any display Qt would abort with a message in English about plugins;
// the user gets a plain one instead.
bool displayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace chengfan;

    if (!displayAvailable()) {
        std::fputs("澄帆无法启动：没有可用的图形显示（DISPLAY 和 WAYLAND_DISPLAY 均未设置）。"
                   "请在图形桌面中运行，或用 xvfb-run 在虚拟显示中运行。\n",
                   stderr);
        return -1;
    }
    // The browser boxes' engine refuses to start as root unless its sandbox is off.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QApplication app(argc, argv);
    // Qt has set the C locale from the environment; numbers in the core are read
    // and written the same way under every locale.
    std::setlocale(LC_NUMERIC, "C");

    // The browser boxes go through the desktop's proxy, as a desktop browser does.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    ui::installChineseTranslations(app);
    // Text is drawn glyph by glyph, without kerning or ligatures, as the desktop
    // the windows were drawn for draws it; scripts that cannot be written without
    // shaping are still shaped. The CJK faces' large layout tables are then never
    // read, which saves several MiB of an idle window.
    QFont font = QApplication::font();
    font.setStyleStrategy(QFont::PreferNoShaping);
    QApplication::setFont(font);

    // Relative save paths resolve against the program's directory, where
    // Config.ini lives too.
    const std::string runDirectory = store::executableDirectory();
    if (chdir(runDirectory.c_str()) != 0) std::perror(runDirectory.c_str());

    common::KeptTexts kept;
    ui::QtProgram program(kept);
    const store::TaskStore store(runDirectory);
    engine::CurlNetwork network;
    engine::SystemClock clock;
    ui::QtMessageService messages;
    ui::QtBrowser browser;

    std::unique_ptr<ui::MainWindow> window;
    try {
        window = std::make_unique<ui::MainWindow>(
            store, kept, engine::Services{messages, network, browser, program, clock});
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("澄帆"),
                              QStringLiteral("无法创建主窗口，程序无法启动。\n") +
                                  QString::fromLocal8Bit(error.what()));
        return -1;
    }
    window->show();
    const int exitCode = app.exec();
    window.reset();
    program.runExitAction();
    return exitCode;
}
