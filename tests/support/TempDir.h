#pragma once

#include <string>
#include <vector>

namespace chengfan::testing {

// A fresh directory under the system's temporary directory, removed with all it
// holds when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// Whole-file helpers for tests: the bytes of a file (nullopt-free: "" when missing),
// and writing bytes to a file.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// The names of the entries of a directory, sorted: what a write left behind.
std::vector<std::string> namesIn(const std::string& directory);

}  // namespace chengfan::testing
