#pragma once

#include <QIcon>

namespace chengfan::ui {

// The program's own icon, drawn in code: a white sail on a blue square, at 16 x 16
// (and 32 x 32 for the task bar). MainWindow, EditTaskWindow and AboutWindow carry it.
QIcon programIcon();

}  // namespace chengfan::ui
