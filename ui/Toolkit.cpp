#include "ui/Toolkit.h"

#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <QString>

namespace chengfan::ui {

void openDialog(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    // exec() runs a nested event loop, so timers keep ticking; it deletes the
    // dialog on the way out because of WA_DeleteOnClose.
    dialog->exec();
}

void showMessage(const QString& text) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("温馨提示"));
    box.setIcon(QMessageBox::NoIcon);
    // Texts from the store or a server are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    // The translation of Qt's own texts gives "确定" too; this holds where it is
    // not installed.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace chengfan::ui
