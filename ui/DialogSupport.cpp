#include "ui/DialogSupport.h"

#include <limits>

#include <QByteArray>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QVariant>

#include "common/Conversions.h"
#include "common/Gbk.h"
#include "engine/BuildSettings.h"
#include "engine/Services.h"

namespace chengfan::ui {

namespace {

// A Windows frame adds 2 px to the width and 26 px (the caption and borders) to
// the height of the client area; the dialogs are centred by that outer size.
constexpr int kFrameWidth = 2;
constexpr int kFrameHeight = 26;

// Where a box keeps the GBK bytes it was last set to, and the text it showed then.
constexpr char kGbkProperty[] = "chengfanGbk";
constexpr char kShownProperty[] = "chengfanShown";

}  // namespace

void setUpDialog(QDialog& dialog, const QString& objectName, const QString& title,
                 const QSize& clientSize) {
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(title);
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
    dialog.setFixedSize(clientSize);
    dialog.setSizeGripEnabled(false);

    QScreen* screen = dialog.parentWidget() != nullptr ? dialog.parentWidget()->screen()
                                                       : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        const QSize outer = clientSize + QSize(kFrameWidth, kFrameHeight);
        // Moving the window now also keeps QDialog from placing it over its parent.
        dialog.move(area.x() + (area.width() - outer.width()) / 2,
                    area.y() + (area.height() - outer.height()) / 2);
    }
}

QLabel* addLabel(QWidget& parent, const QString& objectName, const QString& text,
                 const QRect& geometry) {
    auto* label = new QLabel(text, &parent);
    label->setObjectName(objectName);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}

QLineEdit* addEditBox(QWidget& parent, const QString& objectName, const QRect& geometry) {
    auto* box = new QLineEdit(&parent);
    box->setObjectName(objectName);
    box->setGeometry(geometry);
    // QLineEdit cuts text at 32767 characters unless told otherwise.
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QPushButton* addButton(QWidget& parent, const QString& objectName, const QString& text,
                       const QRect& geometry) {
    auto* button = new QPushButton(text, &parent);
    button->setObjectName(objectName);
    button->setGeometry(geometry);
    // In a QDialog every button is auto-default, so Enter would press whichever
    // has focus; none of these buttons may be pressed by Enter.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QString urlCaption() {
    return QStringLiteral("需静态化的动态网址（如：") + QString::fromUtf8(engine::kPublisherHost) +
           QStringLiteral("）");
}

QString savePathCaption() {
    return QStringLiteral("静态化后储存地址（如：d:\\mulang\\index.html)");
}

void setBoxText(QLineEdit& box, const common::Text& gbk) {
    const QString shown = QString::fromStdString(common::gbkToUtf8(gbk));
    box.setText(shown);
    box.setProperty(kGbkProperty, QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size())));
    box.setProperty(kShownProperty, box.text());
}

void showStoredText(QLineEdit& box, const common::Text& gbk) {
    if (!common::isEmptyText(gbk)) setBoxText(box, gbk);
}

std::optional<common::Text> boxText(const QLineEdit& box) {
    const QString text = box.text();
    const QVariant shown = box.property(kShownProperty);
    if (shown.isValid() && shown.toString() == text) {
        const QByteArray gbk = box.property(kGbkProperty).toByteArray();
        return common::Text(gbk.constData(), static_cast<std::size_t>(gbk.size()));
    }
    std::optional<common::Text> gbk = common::utf8ToGbk(text.toStdString());
    if (gbk && gbk->find_first_of("\r\n") != common::Text::npos) return std::nullopt;
    return gbk;
}

common::Text boxKey(const QLineEdit& box) { return boxText(box).value_or(common::Text()); }

bool isEmptyBoxText(const std::optional<common::Text>& text) {
    return text && common::isEmptyText(*text);
}

common::Text gbkText(std::string_view utf8) {
    // The program's own messages are all plain Chinese that GBK holds.
    return common::utf8ToGbk(utf8).value_or(common::Text());
}

void say(engine::MessageService& messages, std::string_view utf8) {
    messages.showMessage(gbkText(utf8));
}

}  // namespace chengfan::ui
