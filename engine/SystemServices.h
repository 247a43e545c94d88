#pragma once

#include "engine/PageFetch.h"
#include "engine/Services.h"

namespace chengfan::engine {

// The production services that need no window: the network over libcurl, and
// the machine's clock.

class CurlNetwork final : public NetworkService {
public:
    explicit CurlNetwork(FetchLimits limits = {});
    bool checkConnection() override;
    common::Bytes fetchUrl(const common::Text& url) override;
    void fetchAndSave(const common::Text& url, const common::Text& savePath) override;

private:
    FetchLimits limits_;
};

class SystemClock final : public Clock {
public:
    common::DateTime now() override;
};

}  // namespace chengfan::engine
