#pragma once

#include <string>
#include <vector>
#include <sys/types.h>

#include "support/TempDir.h"

namespace chengfan::testing {

// The loopback HTTP and HTTPS server of tests/tools/http_test_server.py, run as
// a child process for as long as this object lives. Its certificate is signed
// by a root made for this run only (caFile()).
class PageFetchTestServer {
public:
    PageFetchTestServer();
    ~PageFetchTestServer();
    PageFetchTestServer(const PageFetchTestServer&) = delete;
    PageFetchTestServer& operator=(const PageFetchTestServer&) = delete;

    int httpPort() const { return httpPort_; }
    int httpsPort() const { return httpsPort_; }
    // "http://127.0.0.1:PORT" + path, and the same for https.
    std::string http(const std::string& path) const;
    std::string https(const std::string& path) const;
    std::string caFile() const { return tls_.file("ca.pem"); }
    // How many connections the server has accepted so far (the asking one not counted).
    int connectionCount() const;

private:
    TempDir tls_;
    pid_t pid_ = -1;
    int toServer_ = -1;
    int fromServer_ = -1;
    int httpPort_ = 0;
    int httpsPort_ = 0;
};

// A port on 127.0.0.1 that refuses every connection: bound, never listening.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 that never answers a new connection: it listens, but its
// queue is full and never taken from, so the kernel drops further handshakes.
class SilentPort {
public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    int port() const { return port_; }

private:
    std::vector<int> fds_;
    int port_ = 0;
};

// Body byte i of the server's pattern, the same formula as the script's.
std::string patternBytes(std::size_t count);

}  // namespace chengfan::testing
