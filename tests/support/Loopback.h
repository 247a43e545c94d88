#pragma once

// A TCP socket of the tests' own servers, bound to a free port on 127.0.0.1.
// Header-only, so the fuzz targets (which link no test library) share it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace chengfan::testing {

// The socket, bound and, with a backlog of 0 or more, listening; port receives
// the port the system chose. Throws when no socket can be had.
inline int boundLoopbackSocket(int& port, int backlog = -1) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (backlog >= 0 && ::listen(fd, backlog) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot bind a port on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace chengfan::testing
