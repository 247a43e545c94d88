#include "FaultServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <stdexcept>
#include <string_view>

#include "support/Loopback.h"

namespace chengfan::reliability {

namespace {

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string head(int status, std::uint64_t length, const std::string& extra = "") {
    return "HTTP/1.0 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(length) +
           "\r\n" + extra + "\r\n";
}

std::vector<std::string> segments(const std::string& path) {
    std::vector<std::string> out;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        out.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::uint64_t number(const std::vector<std::string>& parts, std::size_t i) {
    return i < parts.size() ? std::stoull(parts[i]) : 0;
}

}  // namespace

FaultServer::FaultServer() {
    // Downloads honour a proxy the environment names; requests to this server
    // must reach it directly.
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        ::unsetenv(name);
    }
    if (::pipe(stopPipe_) != 0) throw std::runtime_error("pipe");
    listenFd_ = chengfan::testing::boundLoopbackSocket(port_, 64);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

FaultServer::~FaultServer() {
    [[maybe_unused]] const ssize_t ignored = ::write(stopPipe_[1], "x", 1);
    acceptThread_.join();
    for (std::thread& worker : workers_) worker.join();
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string FaultServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

char FaultServer::patternByte(std::uint64_t i, unsigned s) {
    return static_cast<char>((i * 7 + i / 251 + s * 31) & 0xFF);
}

std::string FaultServer::pattern(std::size_t n, unsigned s) {
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; ++i) out[i] = patternByte(i, s);
    return out;
}

const std::string& FaultServer::hugeBlock() {
    static const std::string block = pattern(1 << 20, 5);
    return block;
}

void FaultServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        const std::lock_guard<std::mutex> lock(workersMutex_);
        workers_.emplace_back([this, fd] {
            serve(fd);
            ::close(fd);
        });
    }
}

void FaultServer::holdUntilGone(int fd) {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents != 0) return;
        if (fds[0].revents != 0) {
            char byte;
            if (::recv(fd, &byte, 1, 0) <= 0) return;
        }
    }
}

void FaultServer::serve(int fd) {
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents != 0) return;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t start = request.find(' ') + 1;
    std::string path = request.substr(start, request.find(' ', start) - start);
    // A request through a proxy names the whole URL.
    if (path.rfind("http://", 0) == 0) path = path.substr(path.find('/', 7));
    const std::vector<std::string> parts = segments(path);
    const std::string& kind = parts.empty() ? path : parts[0];

    if (kind == "page" || kind == "slow") {
        const std::string body = pattern(number(parts, 1), static_cast<unsigned>(number(parts, 2)));
        if (!sendAll(fd, head(200, body.size()))) return;
        if (kind == "page") {
            sendAll(fd, body);
            return;
        }
        for (std::size_t at = 0; at < body.size(); at += 16384) {
            if (!sendAll(fd, std::string_view(body).substr(at, 16384))) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    } else if (kind == "status") {
        const std::string body = "<html>error " + parts.at(1) + "</html>";
        sendAll(fd, head(static_cast<int>(number(parts, 1)), body.size()) + body);
    } else if (kind == "drop") {
        sendAll(fd, head(200, number(parts, 1)) + pattern(number(parts, 2), 9));
    } else if (kind == "stall") {
        if (sendAll(fd, head(200, 2 * number(parts, 1)) + pattern(number(parts, 1), 9))) holdUntilGone(fd);
    } else if (kind == "huge") {
        std::uint64_t left = number(parts, 1);
        if (!sendAll(fd, head(200, left))) return;
        const std::string& block = hugeBlock();
        while (left > 0) {
            const std::size_t piece = left < block.size() ? static_cast<std::size_t>(left) : block.size();
            if (!sendAll(fd, std::string_view(block).substr(0, piece))) return;
            left -= piece;
        }
    } else if (kind == "loop") {
        sendAll(fd, head(302, 5, "Location: /loop\r\n") + "moved");
    } else {
        sendAll(fd, head(404, 0));
    }
}

}  // namespace chengfan::reliability
