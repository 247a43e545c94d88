#include "FakeNetwork.h"

#include "VirtualTimers.h"

namespace chengfan::testing {

std::int64_t FakeNetwork::now() const { return timers_ != nullptr ? timers_->now() : 0; }

void FakeNetwork::busy(std::int64_t ms) {
    if (timers_ != nullptr && ms > 0) timers_->passBusy(ms);
}

bool FakeNetwork::checkConnection() {
    probes_.push_back(now());
    if (!scriptedProbes_.empty()) {
        const bool answer = scriptedProbes_.front();
        scriptedProbes_.pop_front();
        return answer;
    }
    return connected_;
}

common::Bytes FakeNetwork::fetchUrl(const common::Text& url) {
    fetches_.push_back({url, now()});
    busy(fetchMs_);
    const auto found = responses_.find(url);
    return found != responses_.end() ? found->second : common::Bytes{};
}

void FakeNetwork::fetchAndSave(const common::Text& url, const common::Text& savePath) {
    downloads_.push_back({url, savePath, now()});
    if (onDownload_) onDownload_(downloads_.back());
    busy(downloadMs_);
}

void FakeNetwork::setResponse(const common::Text& url, const std::string& body) {
    responses_[url] = common::Bytes(body.begin(), body.end());
}

std::vector<common::Text> FakeNetwork::downloadedUrls() const {
    std::vector<common::Text> urls;
    urls.reserve(downloads_.size());
    for (const Download& download : downloads_) urls.push_back(download.url);
    return urls;
}

}  // namespace chengfan::testing
