#pragma once

class QDialog;
class QString;

namespace chengfan::ui {

// Opens a dialog modal to the whole program and returns when it has been closed.
// The dialog must have no parent; it is destroyed when it closes. MainWindow
// takes no input meanwhile, but every event, its timer ticks included, is still
// delivered, so a run in progress behind the dialog goes on.
void openDialog(QDialog* dialog);

// The program's only way of telling the user something: a box titled "温馨提示"
// with the text, one "确定" button and no icon, modal to the whole program. It
// returns when the box has been closed (确定, Enter, Esc or its close box); timer
// ticks keep running their handlers while it waits.
void showMessage(const QString& text);

}  // namespace chengfan::ui
