#include "ui/NoticeBox.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace chengfan::ui {

NoticeBox::NoticeBox(QWidget* parent)
    : QWidget(parent), network_(new QNetworkAccessManager(this)) {
    hide();
    connect(network_, &QNetworkAccessManager::finished, this, &NoticeBox::finished);
}

void NoticeBox::load(const QUrl& address) {
    current_ = address;
    request();
}

void NoticeBox::reload() {
    if (current_.isValid()) request();
}

void NoticeBox::request() {
    QNetworkRequest request(current_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    // Online: the page comes from the server, never from a cache.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    network_->get(request);
}

void NoticeBox::finished(QNetworkReply* reply) {
    // A page reached through redirects is the page the box now shows.
    if (reply->error() == QNetworkReply::NoError && reply->url().isValid()) {
        current_ = reply->url();
    }
    reply->deleteLater();
}

}  // namespace chengfan::ui
