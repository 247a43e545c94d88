#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace chengfan::reliability {

// A loopback HTTP server, in this process, that misbehaves on request. The path
// chooses the behaviour:
//   /page/N/S      200, N bytes of pattern S, with Content-Length
//   /status/C      status C with a small HTML body
//   /drop/T/K      Content-Length T, K bytes of pattern 9, then the connection closes
//   /stall/K       Content-Length 2K, K bytes of pattern 9, then silence until the
//                  client leaves
//   /slow/N/S      as /page, sent in 16 KiB pieces a millisecond apart
//   /huge/N        200, N bytes of a pattern repeating every 1 MiB
//   /loop          302 to itself, forever
class FaultServer {
public:
    FaultServer();
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    // "http://127.0.0.1:PORT" + path
    std::string url(const std::string& path) const;
    int connectionCount() const { return connections_.load(); }

    // Byte i of pattern s: zero bytes included, different for every s.
    static char patternByte(std::uint64_t i, unsigned s);
    static std::string pattern(std::size_t n, unsigned s);
    // The 1 MiB block that /huge repeats.
    static const std::string& hugeBlock();

private:
    void acceptLoop();
    void serve(int fd);
    // Waits until the peer closes or the server stops.
    void holdUntilGone(int fd);

    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::thread acceptThread_;
    std::mutex workersMutex_;
    std::vector<std::thread> workers_;
};

}  // namespace chengfan::reliability
