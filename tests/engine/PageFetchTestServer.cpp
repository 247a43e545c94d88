#include "engine/PageFetchTestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "engine/PageFetch.h"
#include "support/Loopback.h"

extern char** environ;

namespace chengfan::testing {

namespace {

int portAfter(const std::string& text, const std::string& label) {
    const auto at = text.find(label + " ");
    if (at == std::string::npos) throw std::runtime_error("test server gave no " + label + " port");
    return std::stoi(text.substr(at + label.size() + 1));
}

}  // namespace

PageFetchTestServer::PageFetchTestServer() {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string script = std::string(CHENGFAN_TEST_TOOLS_DIR) + "/http_test_server.py";
    const std::string tlsDir = tls_.path();
    const char* argv[] = {"python3", script.c_str(), "--tls-dir", tlsDir.c_str(), nullptr};
    const int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr,
                                     const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toServer_ = in[1];
    fromServer_ = out[0];
    if (spawned != 0) throw std::runtime_error("cannot start python3");

    std::string banner;
    char buffer[256];
    while (std::count(banner.begin(), banner.end(), '\n') < 2) {
        const ssize_t got = ::read(fromServer_, buffer, sizeof buffer);
        if (got <= 0) throw std::runtime_error("test server ended before listening");
        banner.append(buffer, static_cast<std::size_t>(got));
    }
    httpPort_ = portAfter(banner, "http");
    httpsPort_ = portAfter(banner, "https");
}

PageFetchTestServer::~PageFetchTestServer() {
    // The end of its stdin ends the server.
    if (toServer_ >= 0) ::close(toServer_);
    if (pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (fromServer_ >= 0) ::close(fromServer_);
}

std::string PageFetchTestServer::http(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(httpPort_) + path;
}

std::string PageFetchTestServer::https(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(httpsPort_) + path;
}

int PageFetchTestServer::connectionCount() const {
    const common::Bytes body = engine::fetchUrl(http("/connections"));
    return std::stoi(std::string(body.begin(), body.end()));
}

RefusingPort::RefusingPort() : fd_(boundLoopbackSocket(port_)) {}

RefusingPort::~RefusingPort() { ::close(fd_); }

SilentPort::SilentPort() {
    const int listener = boundLoopbackSocket(port_);
    fds_.push_back(listener);
    if (::listen(listener, 0) != 0) throw std::runtime_error("listen");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    // A few connections that are never accepted fill the queue.
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fds_.push_back(fd);
    }
}

SilentPort::~SilentPort() {
    for (const int fd : fds_) ::close(fd);
}

std::string patternBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) % 256);
    return bytes;
}

}  // namespace chengfan::testing
