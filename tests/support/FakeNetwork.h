#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "engine/Services.h"

namespace chengfan::testing {

class VirtualTimers;

// A scripted network that reaches nothing: the probe answers as told, fetchUrl
// gives the bytes set for the address (empty, like every failed download, for
// any other), and every call is recorded with the virtual time at which it came.
// A fetch or download may be made to take virtual time, during which the thread
// is busy and no tick is delivered.
class FakeNetwork final : public engine::NetworkService {
public:
    struct Request {
        common::Text url;
        std::int64_t atMs;
    };
    struct Download {
        common::Text url;
        common::Text savePath;
        std::int64_t atMs;  // when the download began
    };

    explicit FakeNetwork(VirtualTimers* timers = nullptr) : timers_(timers) {}

    bool checkConnection() override;
    common::Bytes fetchUrl(const common::Text& url) override;
    void fetchAndSave(const common::Text& url, const common::Text& savePath) override;

    // The probe's answer; scripted answers are used first, in order.
    void setConnected(bool connected) { connected_ = connected; }
    void scriptProbes(std::deque<bool> answers) { scriptedProbes_ = std::move(answers); }
    void setResponse(const common::Text& url, common::Bytes body) { responses_[url] = std::move(body); }
    void setResponse(const common::Text& url, const std::string& body);
    void removeResponse(const common::Text& url) { responses_.erase(url); }
    void setFetchTime(std::int64_t ms) { fetchMs_ = ms; }
    void setDownloadTime(std::int64_t ms) { downloadMs_ = ms; }
    // Runs at the start of each download (to look at the state the engine left).
    void setOnDownload(std::function<void(const Download&)> onDownload) {
        onDownload_ = std::move(onDownload);
    }

    const std::vector<std::int64_t>& probes() const { return probes_; }
    const std::vector<Request>& fetches() const { return fetches_; }
    const std::vector<Download>& downloads() const { return downloads_; }
    // The URLs downloaded, in order.
    std::vector<common::Text> downloadedUrls() const;

private:
    std::int64_t now() const;
    void busy(std::int64_t ms);

    VirtualTimers* timers_;
    bool connected_ = true;
    std::deque<bool> scriptedProbes_;
    std::map<common::Text, common::Bytes> responses_;
    std::int64_t fetchMs_ = 0;
    std::int64_t downloadMs_ = 0;
    std::function<void(const Download&)> onDownload_;
    std::vector<std::int64_t> probes_;
    std::vector<Request> fetches_;
    std::vector<Download> downloads_;
};

}  // namespace chengfan::testing
