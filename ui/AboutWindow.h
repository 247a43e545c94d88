#pragma once

#include <QDialog>
#include <QUrl>

namespace chengfan::ui {

// The publisher's about page in a browser box that fills the window. Each
// opening builds the window anew, so the page is loaded afresh every time.
class AboutWindow : public QDialog {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget* parent = nullptr);
    // Shows the given page instead of the publisher's (tests serve their own).
    explicit AboutWindow(const QUrl& page, QWidget* parent = nullptr);

    // "/gy.html" on the publisher's host.
    static QUrl aboutPageAddress();
    // What the box shows when the about page cannot be loaded.
    static QString fallbackPageHtml();

private:
    // 超文本浏览框1: the browser module's box, or a plain text box with the
    // program's own page where that module cannot be loaded.
    QWidget* browser_ = nullptr;
};

}  // namespace chengfan::ui
