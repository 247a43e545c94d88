// Fuzz target: the URL handling of the page fetch. Every input is handed to
// fetchUrl as a URL. Nothing may crash, and nothing but http and https may be
// requested: the environment names a recording proxy on 127.0.0.1 (so nothing
// leaves this machine, names are never looked up), and after each input every
// request the proxy saw must be a GET of an http URL or a CONNECT for https, made
// only for an input whose scheme is http or https. Bytes may come back only from
// the proxy, never from a local file. The proxy answers some paths with a
// redirect to another scheme, which must be refused.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "FuzzCheck.h"
#include "engine/PageFetch.h"
#include "support/Loopback.h"

namespace {

constexpr std::string_view kBody = "proxied";

class RecordingProxy {
public:
    RecordingProxy() {
        fd_ = chengfan::testing::boundLoopbackSocket(port_, 16);
        std::thread([this] { serve(); }).detach();
    }

    int port() const { return port_; }

    std::vector<std::string> take() {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> out;
        out.swap(requests_);
        return out;
    }

private:
    void serve() {
        for (;;) {
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            answer(client);
            ::close(client);
        }
    }

    void answer(int client) {
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) break;
            char buffer[4096];
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            head.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string line = head.substr(0, head.find("\r\n"));
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(line);
        }
        std::string reply;
        if (line.rfind("CONNECT ", 0) == 0) {
            reply = "HTTP/1.0 403 Forbidden\r\nContent-Length: 0\r\n\r\n";
        } else if (const auto at = line.find("/redirect-"); at != std::string::npos) {
            static const char* const targets[] = {"file:///etc/hostname", "ftp://127.0.0.1:1/x",
                                                  "dict://127.0.0.1:1/x", "gopher://127.0.0.1:1/x",
                                                  "http://127.0.0.1:1/after-redirect"};
            const char which = at + 10 < line.size() ? line[at + 10] : '0';
            const char* target = targets[static_cast<unsigned char>(which) % 5];
            reply = std::string("HTTP/1.0 302 Found\r\nLocation: ") + target + "\r\nContent-Length: 0\r\n\r\n";
        } else {
            reply = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kBody.size()) + "\r\n\r\n" +
                    std::string(kBody);
        }
        [[maybe_unused]] const ssize_t sent = ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    }

    int fd_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

chengfan::engine::FetchLimits limits() {
    chengfan::engine::FetchLimits l;
    l.connectTimeout = std::chrono::milliseconds(500);
    l.stallTimeout = std::chrono::milliseconds(1000);
    return l;
}

RecordingProxy& proxy() {
    static RecordingProxy* const instance = [] {
        auto* p = new RecordingProxy();
        const std::string address = "http://127.0.0.1:" + std::to_string(p->port());
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::setenv(name, address.c_str(), 1);
        }
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        // Nothing may be fuzzed unless downloads really go through the proxy.
        const auto body = chengfan::engine::fetchUrl("http://chengfan.invalid/probe", limits());
        const auto seen = p->take();
        if (seen.size() != 1 || seen[0].rfind("GET http://chengfan.invalid/probe", 0) != 0 ||
            std::string(body.begin(), body.end()) != kBody) {
            std::fprintf(stderr, "downloads do not go through the proxy the environment names\n");
            std::abort();
        }
        return p;
    }();
    return *instance;
}

// How many inputs got as far as a request, printed when the run ends.
struct Tally {
    long inputs = 0;
    long gets = 0;
    long connects = 0;
    long bodies = 0;
    ~Tally() {
        std::printf("figures: %ld URLs, %ld plain GETs and %ld https CONNECTs made, %ld bodies; "
                    "0 requests for another scheme\n",
                    inputs, gets, connects, bodies);
    }
};
Tally tally;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordingProxy& recorder = proxy();
    const std::string url(reinterpret_cast<const char*>(data), size);
    const chengfan::common::Bytes body = chengfan::engine::fetchUrl(url, limits());
    const std::vector<std::string> requests = recorder.take();

    const std::string scheme = lower(std::string_view(url).substr(0, url.find(':')));
    const bool webScheme = url.find(':') != std::string::npos && (scheme == "http" || scheme == "https");
    for (const std::string& line : requests) {
        FUZZ_CHECK(webScheme, "a request for \"%s\": %s", printable(url).c_str(), printable(line).c_str());
        FUZZ_CHECK(line.rfind("GET http://", 0) == 0 || line.rfind("CONNECT ", 0) == 0,
                   "a request that is not http or https: %s", printable(line).c_str());
    }
    ++tally.inputs;
    for (const std::string& line : requests) ++(line[0] == 'G' ? tally.gets : tally.connects);
    if (!body.empty()) ++tally.bodies;
    const std::string got(body.begin(), body.end());
    FUZZ_CHECK(got.empty() || (got == kBody && !requests.empty()),
               "\"%s\" gave %zu bytes that did not come from the proxy", printable(url).c_str(), got.size());
    return 0;
}
