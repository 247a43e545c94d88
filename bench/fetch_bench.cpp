// Times fetchAndSave against the curl command-line tool on the same 256 MiB
// loopback download, and measures how much memory fetchAndSave needs for it.
// Also times raw libcurl reads at several buffer sizes, which is how the read
// size was chosen. Prints its figures; exits non-zero only when a download
// does not arrive whole.

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/PageFetch.h"

extern char** environ;

namespace {

constexpr std::size_t kBodySize = std::size_t{256} << 20;
constexpr int kRounds = 5;

// Serves kBodySize bytes per connection from a forked child, so the server's
// memory never counts against the process being measured.
pid_t startServer(int& port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    port = ntohs(address.sin_port);
    const pid_t pid = ::fork();
    if (pid != 0) {
        ::close(listener);
        return pid;
    }
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 7 + i / 256) % 256);
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kBodySize) + "\r\n\r\n";
    for (;;) {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0) continue;
        char request[4096];
        std::string received;
        while (received.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::read(client, request, sizeof request);
            if (got <= 0) break;
            received.append(request, static_cast<std::size_t>(got));
        }
        bool ok = ::send(client, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size());
        for (std::size_t sent = 0; ok && sent < kBodySize;) {
            const std::size_t part = std::min(block.size(), kBodySize - sent);
            const ssize_t wrote = ::send(client, block.data(), part, MSG_NOSIGNAL);
            if (wrote <= 0) ok = false;
            sent += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
        }
        ::close(client);
    }
}

double secondsOf(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::strtol(line.c_str() + std::string(field).size(), nullptr, 10);
        }
    }
    return -1;
}

// Starts a fresh peak-memory reading; false where the kernel does not allow it.
bool resetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

bool runCurlTool(const std::string& url, const std::string& file) {
    const char* argv[] = {"curl", "-s", "-o", file.c_str(), url.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
        return false;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}


std::size_t countOnly(char*, std::size_t size, std::size_t count, void* total) {
    *static_cast<std::size_t*>(total) += size * count;
    return size * count;
}

// Reading alone, the body dropped, so the disk does not blur the comparison.
double rawLibcurlSeconds(const std::string& url, long bufferSize, int& failures) {
    std::size_t total = 0;
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, bufferSize);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, countOnly);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &total);
    const double seconds = secondsOf([&] { curl_easy_perform(handle); });
    curl_easy_cleanup(handle);
    if (total != kBodySize) ++failures;
    return seconds;
}

}  // namespace

int main() {
    int port = 0;
    const pid_t server = startServer(port);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/page.html";
    const auto directory =
        std::filesystem::temp_directory_path() / ("chengfan-fetch-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const std::string curlFile = (directory / "curl.html").string();
    const std::string ourFile = (directory / "page.html").string();
    int failures = 0;

    chengfan::engine::FetchLimits limits;
    // Warm up both paths once (page cache, libcurl's first-use set-up).
    runCurlTool(url, curlFile);
    chengfan::engine::fetchAndSave(url, ourFile, limits);

    std::vector<double> curlTimes;
    std::vector<double> ourTimes;
    long peakGrowthKiB = 0;
    const auto timeCurl = [&] {
        curlTimes.push_back(secondsOf([&] {
            if (!runCurlTool(url, curlFile)) ++failures;
        }));
    };
    const auto timeOurs = [&] {
        const long before = statusKiB("VmRSS:");
        const bool freshPeak = resetPeakMemory();
        const long peakBefore = freshPeak ? before : statusKiB("VmHWM:");
        bool saved = false;
        ourTimes.push_back(secondsOf([&] { saved = chengfan::engine::fetchAndSave(url, ourFile, limits); }));
        if (!saved || std::filesystem::file_size(ourFile) != kBodySize) ++failures;
        peakGrowthKiB = std::max(peakGrowthKiB, statusKiB("VmHWM:") - peakBefore);
    };
    // Alternating which goes first spreads the cost of the other's write-back evenly.
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 0) {
            timeCurl();
            timeOurs();
        } else {
            timeOurs();
            timeCurl();
        }
    }

    // The same download gathered in memory, for scale: what the page would cost
    // if it were not streamed to its file.
    long inMemoryGrowthKiB = 0;
    {
        const long before = statusKiB("VmRSS:");
        const long peakBefore = resetPeakMemory() ? before : statusKiB("VmHWM:");
        const auto bytes = chengfan::engine::fetchUrl(url, limits);
        if (bytes.size() != kBodySize) ++failures;
        inMemoryGrowthKiB = statusKiB("VmHWM:") - peakBefore;
    }
    if (std::filesystem::file_size(curlFile) != kBodySize) ++failures;

    const double curlSeconds = median(curlTimes);
    const double ourSeconds = median(ourTimes);
    std::printf("body: %zu MiB over loopback, median of %d rounds\n", kBodySize >> 20, kRounds);
    std::printf("curl tool     : %.3f s (%.0f MiB/s)\n", curlSeconds, (kBodySize >> 20) / curlSeconds);
    std::printf("fetchAndSave  : %.3f s (%.0f MiB/s)\n", ourSeconds, (kBodySize >> 20) / ourSeconds);
    std::printf("time ratio    : %.2fx curl (aim: at most 1.10x)\n", ourSeconds / curlSeconds);
    std::printf("peak memory growth during fetchAndSave: %.1f MiB (aim: under 16 MiB)\n",
                peakGrowthKiB / 1024.0);
    std::printf("  for scale, fetchUrl gathering the same body in memory: %.1f MiB\n",
                inMemoryGrowthKiB / 1024.0);

    std::printf("libcurl read size, body dropped (the reads of fetchAndSave use 102400):\n");
    for (const long size : {16384L, 32768L, 65536L, 102400L}) {
        std::vector<double> times;
        for (int round = 0; round < kRounds; ++round) times.push_back(rawLibcurlSeconds(url, size, failures));
        std::printf("  %6ld bytes: %.3f s\n", size, median(times));
    }

    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    std::filesystem::remove_all(directory);
    if (failures != 0) std::printf("FAILED: %d downloads did not arrive whole\n", failures);
    return failures == 0 ? 0 : 1;
}
