#pragma once

#include <string>

namespace chengfan::reliability {

// A small tmpfs mounted over a directory for the life of the object, where the
// machine allows mounting (root in a sandbox may or may not). Tests that need a
// real full or read-only file system ask mounted() and fall back to other faults.
class TmpfsMount {
public:
    TmpfsMount(std::string directory, std::size_t bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return mounted_; }
    // Why the mount failed, for the test's report.
    const std::string& failure() const { return failure_; }
    // Makes the mounted file system read-only; false when that is refused.
    bool remountReadOnly();
    // Writes a filler file until the file system has no room left; returns its size.
    std::size_t fill();

private:
    std::string directory_;
    std::size_t bytes_;
    bool mounted_ = false;
    std::string failure_;
};

}  // namespace chengfan::reliability
