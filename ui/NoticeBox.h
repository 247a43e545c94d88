#pragma once

#include <QUrl>
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;

namespace chengfan::ui {

// MainWindow's hidden browser box for the publisher's notice page. It is never
// shown and nothing reads the page, so it only requests it: no browser engine is
// started for it, and the request never blocks the window.
class NoticeBox final : public QWidget {
    Q_OBJECT
public:
    explicit NoticeBox(QWidget* parent = nullptr);

    // Navigates to the address: it becomes the current page.
    void load(const QUrl& address);
    // Requests the current page again; after a redirect that is the page the
    // redirect led to.
    void reload();

    QUrl currentPage() const { return current_; }

private:
    void request();
    void finished(QNetworkReply* reply);

    QNetworkAccessManager* network_;
    QUrl current_;
};

}  // namespace chengfan::ui
