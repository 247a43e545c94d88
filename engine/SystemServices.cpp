#include "engine/SystemServices.h"

#include <algorithm>
#include <utility>

#include "common/Conversions.h"
#include "engine/BuildSettings.h"

namespace chengfan::engine {

namespace {

// A probe that gets no answer within this time counts as offline.
constexpr std::chrono::milliseconds kProbeTimeout{10000};

}  // namespace

CurlNetwork::CurlNetwork(FetchLimits limits) : limits_(std::move(limits)) {}

bool CurlNetwork::checkConnection() {
    return probeConnection(kProbeUrl, std::min(kProbeTimeout, limits_.connectTimeout));
}

common::Bytes CurlNetwork::fetchUrl(const common::Text& url) {
    return engine::fetchUrl(url, limits_);
}

void CurlNetwork::fetchAndSave(const common::Text& url, const common::Text& savePath) {
    engine::fetchAndSave(url, savePath, limits_);
}

common::DateTime SystemClock::now() { return common::currentDateTime(); }

}  // namespace chengfan::engine
