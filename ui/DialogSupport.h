#pragma once

#include <optional>
#include <string_view>

#include <QString>

#include "common/Text.h"

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QRect;
class QSize;
class QWidget;

namespace chengfan::engine {
class MessageService;
}

namespace chengfan::ui {

// The frame that every dialog shares: its name and title, a fixed client size,
// a title bar with the close box alone, and a place in the middle of the screen.
void setUpDialog(QDialog& dialog, const QString& objectName, const QString& title,
                 const QSize& clientSize);

// Controls placed at their client position. Labels are black, left-aligned and
// vertically centred. Edit boxes are single-line and take text of any length.
// Buttons never become default: Enter in a dialog presses nothing, so a stray
// Enter can never clear the task list.
QLabel* addLabel(QWidget& parent, const QString& objectName, const QString& text,
                 const QRect& geometry);
QLineEdit* addEditBox(QWidget& parent, const QString& objectName, const QRect& geometry);
QPushButton* addButton(QWidget& parent, const QString& objectName, const QString& text,
                       const QRect& geometry);

// The caption of the URL box: an example address on the publisher's host.
QString urlCaption();
// The caption of the save-path box.
QString savePathCaption();

// Box texts cross the window boundary here. A box set from GBK remembers those
// bytes, so a value the store gave (even one that is not clean GBK) goes back
// byte for byte while the box still shows it unchanged.
void setBoxText(QLineEdit& box, const common::Text& gbk);
// A value read from the store shows in its box; an empty one (missing from
// Config.ini) leaves the box as it was.
void showStoredText(QLineEdit& box, const common::Text& gbk);
// The box's text as GBK; nullopt when it holds a character that GBK cannot hold
// or a line break, which Config.ini cannot keep either.
std::optional<common::Text> boxText(const QLineEdit& box);
// The box's text as GBK for reading the store: a text that cannot be stored
// cannot name a stored task either, so it reads as the empty key.
common::Text boxKey(const QLineEdit& box);
// True for a box text that is present and empty. A text GBK cannot hold
// (nullopt) is not empty: it is refused for what it holds instead.
bool isEmptyBoxText(const std::optional<common::Text>& text);

// A fixed message of the program (UTF-8 in the source) as GBK.
common::Text gbkText(std::string_view utf8);
// Shows a fixed message through the message service.
void say(engine::MessageService& messages, std::string_view utf8);

}  // namespace chengfan::ui
