#pragma once

#include <QDialog>
#include <QUrl>

class QWebEngineView;

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
    QWebEngineView* browser_ = nullptr;  // 超文本浏览框1
    bool aboutPageRequested_ = false;
    bool firstLoadOver_ = false;  // the about page has shown, failed or been left
};

}  // namespace chengfan::ui
