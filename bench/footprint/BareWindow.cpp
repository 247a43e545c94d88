// The baselines for the footprint figures: an empty Qt Widgets window of the
// main window's size, with nothing else loaded; or, given "texts", the same
// window showing the main window's Chinese texts as plain labels in the same
// sizes, weights and faces, so that what drawing CJK text costs (font database,
// three CJK faces, shaping) is measured apart from the program's own code.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

namespace {

struct Text {
    const char* text;
    int pixels;  // 0: the default size
    bool bold;
    bool serif;
};

void addTexts(QWidget& window) {
    const Text texts[] = {
        {"尚未启动任务", 32, false, false},
        {"0年0月0日0时0分0秒", 24, true, true},
        {"修改任务 新增任务 关于", 0, false, false},
        {"当前执行任务 剩余任务", 15, true, false},
        {"0 需静态化的动态网址 静态化后储存地址", 15, false, false},
        {" 循环刷新时间\n（时间单位：分） 修改时间", 0, false, false},
        {"启动 终止 退出", 35, false, false},
    };
    int top = 8;
    for (const Text& text : texts) {
        auto* label = new QLabel(QString::fromUtf8(text.text), &window);
        QFont font;
        if (text.pixels > 0) font.setPixelSize(text.pixels);
        font.setBold(text.bold);
        if (text.serif) {
            font.setFamilies({QStringLiteral("新宋体"), QStringLiteral("NSimSun"),
                              QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
        }
        label->setFont(font);
        label->setGeometry(8, top, 390, 60);
        top += 70;
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(407, 546);  // the main window's client area
    if (argc > 1 && qstrcmp(argv[1], "texts") == 0) addTexts(window);
    window.show();
    return app.exec();
}
