#include "TmpfsMount.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace chengfan::reliability {

TmpfsMount::TmpfsMount(std::string directory, std::size_t bytes)
    : directory_(std::move(directory)), bytes_(bytes) {
    const std::string options = "size=" + std::to_string(bytes_) + ",mode=0755";
    if (::mount("tmpfs", directory_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
        mounted_ = true;
    } else {
        failure_ = std::strerror(errno);
    }
}

TmpfsMount::~TmpfsMount() {
    if (mounted_) ::umount2(directory_.c_str(), MNT_DETACH);
}

bool TmpfsMount::remountReadOnly() {
    if (!mounted_) return false;
    const std::string options = "size=" + std::to_string(bytes_);
    return ::mount("tmpfs", directory_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
                   options.c_str()) == 0;
}

std::size_t TmpfsMount::fill() {
    const std::string path = directory_ + "/filler";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return 0;
    const std::vector<char> block(512, 'f');
    std::size_t written = 0;
    for (;;) {
        const ssize_t n = ::write(fd, block.data(), block.size());
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return written;
}

}  // namespace chengfan::reliability
