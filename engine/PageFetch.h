#pragma once

#include <chrono>
#include <string>

#include "common/Text.h"

namespace chengfan::engine {

// Bounds on one download. The defaults are those of the Windows platform: about
// 60 s to connect and 30 s without a byte received. Tests pass short ones.
struct FetchLimits {
    std::chrono::milliseconds connectTimeout{60000};
    std::chrono::milliseconds stallTimeout{30000};
    // An extra trusted root (PEM file) for tests; the system's roots are always used.
    std::string extraCaFile;
};

// HTTP/1.0 GET of an http or https URL (GBK text, sent with its bytes), with the
// program's user agent and "Accept: */*"; redirects followed. The body of the
// last response, error pages included; the bytes so far when the read breaks off;
// empty on every other failure.
common::Bytes fetchUrl(const common::Text& url, const FetchLimits& limits = {});

// Creates or replaces the file at the GBK path with exactly these bytes. True only
// when every byte was written and the file closed.
bool writeBytesToFile(const common::Text& path, const common::Bytes& content);

// Downloads url into savePath. A failed or broken-off download leaves the file at
// savePath untouched; a complete one replaces it atomically. True when replaced.
bool fetchAndSave(const common::Text& url, const common::Text& savePath,
                  const FetchLimits& limits = {});

// True when a TCP connection to the URL's host and port (or to the proxy the
// environment names for it) can be made within the timeout.
bool probeConnection(const std::string& url,
                     std::chrono::milliseconds timeout = std::chrono::milliseconds{10000});

}  // namespace chengfan::engine
