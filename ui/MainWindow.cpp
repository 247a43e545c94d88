#include "ui/MainWindow.h"

#include <algorithm>
#include <limits>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextLayout>
#include <QTimer>

#include "common/Conversions.h"
#include "common/Gbk.h"
#include "engine/BuildSettings.h"
#include "engine/TaskLoading.h"
#include "ui/AboutWindow.h"
#include "ui/EditTaskWindow.h"
#include "ui/Icon.h"
#include "ui/LoopTimeWindow.h"
#include "ui/NewTaskWindow.h"
#include "ui/NoticeBox.h"
#include "ui/Toolkit.h"

namespace chengfan::ui {

using engine::DialogKind;
using engine::Field;
using engine::TimerId;

namespace {

// The window's outer size on the desktop it was drawn for; the client area is
// this less the frame (2 px) and the title bar with the frame (26 px).
constexpr int kOuterWidth = 409;
constexpr int kOuterHeight = 572;
constexpr int kClientWidth = kOuterWidth - 2;
constexpr int kClientHeight = kOuterHeight - 26;

constexpr char kNoTaskMessage[] = "\xB5\xB1\xC7\xB0\xC3\xBB\xD3\xD0\xC8\xCE\xCE\xF1";  // 当前没有任务

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

QString fromGbk(const common::Text& text) { return QString::fromUtf8(common::gbkToUtf8(text)); }

QFont pixelFont(int pixels, bool bold) {
    QFont font;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void setTextColour(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, colour);
        palette.setColor(group, QPalette::Text, colour);
    }
    widget.setPalette(palette);
}

QLabel* addLabel(QWidget& parent, const char* name, const QString& text, QRect geometry,
                 Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, &parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A plain-text caption broken onto lines a fixed distance apart, the block
// centred vertically while it fits. CJK faces here have a tall line spacing; two lines 17 px
// apart fit a 32 px label, as they fit with the face it was drawn for. The text
// is laid out only when painted, so creating the window shapes none of it.
class SpacedCaption final : public QLabel {
public:
    SpacedCaption(int lineSpacing, QWidget* parent) : QLabel(parent), lineSpacing_(lineSpacing) {}

protected:
    void paintEvent(QPaintEvent*) override {
        const QRect area = contentsRect();
        QTextLayout layout(text(), font());
        qreal height = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(area.width());
            // The baseline four fifths down the line's slot, where a fixed line
            // height puts it in Qt's rich text.
            line.setPosition(QPointF(0, height + lineSpacing_ * 0.8 - line.ascent() -
                                            std::max<qreal>(line.leading(), 0)));
            height += lineSpacing_;
        }
        layout.endLayout();
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        // Centred while the block fits; a taller one starts at the top.
        layout.draw(&painter, QPointF(area.left(),
                                      area.top() + std::max<qreal>((area.height() - height) / 2, 0)));
    }

private:
    int lineSpacing_;
};

QLineEdit* addEditBox(QWidget& parent, const char* name, const QString& text, QRect geometry) {
    auto* box = new QLineEdit(text, &parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setGeometry(geometry);
    box->setMaxLength(std::numeric_limits<int>::max());
    QPalette palette = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, Qt::white);
    }
    box->setPalette(palette);
    return box;
}

QPushButton* addButton(QWidget& parent, const char* name, const QString& caption,
                       QRect geometry) {
    auto* button = new QPushButton(caption, &parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(geometry);
    // No default button anywhere: a stray Enter must never press one.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

QUrl MainWindow::defaultNoticePage() {
    return QUrl(QString::fromLatin1(engine::kPublisherHost) +
                QString::fromLatin1(engine::kNoticePagePath));
}

MainWindow::MainWindow(const store::TaskStore& store, common::KeptTexts& kept,
                       engine::Services services, const QUrl& noticePage, QWidget* parent)
    : QWidget(parent),
      store_(store),
      kept_(kept),
      services_(services),
      timers_(*this, [this](TimerId id) { timerTick(id); }),
      state_(timers_),
      engine_(state_, store, kept, services) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("澄帆3.0版 (青禾文社）"));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - kOuterWidth) / 2,
             area.y() + (area.height() - kOuterHeight) / 2);
    }

    buildControls();
    state_.setObserver(this);
    created(noticePage);
}

MainWindow::~MainWindow() { state_.setObserver(nullptr); }

void MainWindow::buildControls() {
    auto& self = *this;

    QLabel* status = addLabel(self, "标签1", fromGbk(state_.text(Field::statusText)),
                              {48, 19, 288, 32}, Qt::AlignCenter);
    status->setFont(pixelFont(32, false));
    setTextColour(*status, kRed);
    control(Field::statusText) = status;

    noticeBox_ = new NoticeBox(this);
    noticeBox_->setObjectName(QStringLiteral("超文本浏览框1"));
    noticeBox_->setGeometry(8, 32, 56, 40);

    QLabel* lastRun = addLabel(self, "标签5", fromGbk(state_.text(Field::lastRunText)),
                               {0, 64, 384, 78}, Qt::AlignCenter);
    QFont lastRunFont = pixelFont(24, true);
    // 新宋体 where it is installed, else a CJK serif face, else whatever CJK face
    // fontconfig offers.
    lastRunFont.setFamilies({QStringLiteral("新宋体"), QStringLiteral("NSimSun"),
                             QStringLiteral("Noto Serif CJK SC"),
                             QStringLiteral("Noto Sans CJK SC")});
    lastRun->setFont(lastRunFont);
    setTextColour(*lastRun, kBlue);
    control(Field::lastRunText) = lastRun;

    connect(addButton(self, "按钮8", QStringLiteral("修改任务"), {16, 160, 96, 48}),
            &QPushButton::clicked, this, &MainWindow::openEditTask);
    connect(addButton(self, "按钮9", QStringLiteral("新增任务"), {136, 159, 96, 48}),
            &QPushButton::clicked, this, &MainWindow::openNewTask);
    connect(addButton(self, "按钮6", QStringLiteral("关于"), {264, 159, 104, 48}),
            &QPushButton::clicked, this, &MainWindow::openAbout);

    for (auto [name, text, geometry] :
         {std::tuple{"标签8", "当前执行任务", QRect(9, 225, 64, 32)},
          std::tuple{"标签7", "剩余任务", QRect(200, 224, 64, 32)}}) {
        // The caption is wider than its label and breaks onto a second line.
        auto* label = new SpacedCaption(17, this);
        label->setObjectName(QString::fromUtf8(name));
        label->setGeometry(geometry);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        label->setText(QString::fromUtf8(text));
        label->setFont(pixelFont(15, true));
        setTextColour(*label, kRed);
    }

    QLineEdit* current = addEditBox(self, "编辑框5", fromGbk(state_.text(Field::currentTask)),
                                    {88, 228, 64, 24});
    QLineEdit* remaining = addEditBox(self, "编辑框1",
                                      fromGbk(state_.text(Field::remainingTasks)),
                                      {273, 227, 64, 24});
    for (QLineEdit* box : {current, remaining}) {
        box->setFont(pixelFont(15, false));
        setTextColour(*box, kRed);
        box->setEnabled(false);
    }
    control(Field::currentTask) = current;
    control(Field::remainingTasks) = remaining;

    for (auto [name, text, geometry] :
         {std::tuple{"标签2", "需静态化的动态网址", QRect(8, 254, 168, 31)},
          std::tuple{"标签3", "静态化后储存地址", QRect(6, 328, 152, 24)}}) {
        addLabel(self, name, QString::fromUtf8(text), geometry)->setFont(pixelFont(15, false));
    }
    control(Field::url) = addEditBox(self, "编辑框2", fromGbk(state_.text(Field::url)),
                                     {6, 289, 379, 38});
    control(Field::savePath) = addEditBox(self, "编辑框3",
                                          fromGbk(state_.text(Field::savePath)),
                                          {3, 355, 376, 40});

    // Two lines in a label one line high: the text starts at the top, as a
    // multi-line text does on the desktop it was drawn for, and the second line
    // is clipped.
    addLabel(self, "标签4", QStringLiteral(" 循环刷新时间\n（时间单位：分）"), {0, 401, 216, 19},
             Qt::AlignLeft | Qt::AlignTop);
    control(Field::loopMinutes) = addEditBox(self, "编辑框4",
                                             fromGbk(state_.text(Field::loopMinutes)),
                                             {10, 429, 270, 43});
    connect(addButton(self, "按钮4", QStringLiteral("修改时间"), {290, 427, 70, 40}),
            &QPushButton::clicked, this, &MainWindow::openLoopTime);

    QPushButton* start = addButton(self, "按钮1", QStringLiteral("启动"), {8, 488, 100, 50});
    QPushButton* stop = addButton(self, "按钮2", QStringLiteral("终止"), {120, 485, 100, 50});
    QPushButton* exit = addButton(self, "按钮3", QStringLiteral("退出"), {231, 481, 100, 50});
    for (QPushButton* button : {start, stop, exit}) button->setFont(pixelFont(35, false));
    connect(start, &QPushButton::clicked, this, [this] { engine_.runStep(); });
    connect(stop, &QPushButton::clicked, this, [this] { engine_.stopRun(); });
    connect(exit, &QPushButton::clicked, this, &QWidget::close);

    QLineEdit* version = addEditBox(self, "编辑框6", fromGbk(state_.text(Field::version)),
                                    {64, 0, 40, 24});
    version->hide();
    control(Field::version) = version;
}

void MainWindow::created(const QUrl& noticePage) {
    engine::loadInitialTask(state_, store_, kept_);
    for (Field field : {Field::url, Field::savePath, Field::loopMinutes}) {
        control(field)->setEnabled(false);
    }
    noticeBox_->load(noticePage);
}

QWidget*& MainWindow::control(Field field) {
    return fieldControls_[static_cast<std::size_t>(field)];
}

void MainWindow::textChanged(Field field, const common::Text& value) {
    QWidget* widget = control(field);
    if (widget == nullptr) return;
    const QString text = fromGbk(value);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        box->setText(text);
    }
    // Painted now: the engine may block in a download right after this write,
    // and "任务进行中......" must be on the screen meanwhile.
    if (widget->isVisible()) widget->repaint();
}

void MainWindow::timerTick(TimerId id) {
    if (id == TimerId::timer6) {
        noticeBox_->reload();
    } else {
        engine_.timerTick(id);
    }
}

void MainWindow::openNewTask() {
    engine_.handOverTimers(DialogKind::newTask);
    openDialog(new NewTaskWindow(store_, kept_, services_.messages));
}

void MainWindow::openEditTask() {
    kept_.taskCountText = store_.readTaskCount();
    if (common::isEmptyText(kept_.taskCountText)) {
        services_.messages.showMessage(kNoTaskMessage);
        return;
    }
    engine_.handOverTimers(DialogKind::editTask);
    openDialog(new EditTaskWindow(store_, kept_, services_.messages));
}

void MainWindow::openLoopTime() {
    engine_.handOverTimers(DialogKind::loopTime);
    openDialog(new LoopTimeWindow(store_, kept_, services_.messages));
}

void MainWindow::openAbout() {
    engine_.handOverTimers(DialogKind::about);
    openDialog(new AboutWindow());
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // No run step may start once the window is going.
    for (int i = 0; i < engine::kTimerCount; ++i) {
        timers_.stopTimer(static_cast<TimerId>(i));
    }
    event->accept();
}

}  // namespace chengfan::ui
