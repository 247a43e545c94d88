#include "store/TaskStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "common/GbkTexts.h"
#include "store/IniFile.h"

namespace chengfan::store {

namespace {

// A value longer than this reads as its first kMaxValueBytes bytes, as the
// program always read its settings into a buffer of 10240 bytes.
constexpr std::size_t kMaxValueBytes = 10239;

// Reads skip the leading bytes 1 to 32 (blanks and control characters) of the
// path, the section and the key; an empty one reads as nothing.
std::string_view skipLeadingControls(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) >= 1 && static_cast<unsigned char>(s[i]) <= 32) ++i;
    return s.substr(i);
}

common::Text readValue(const std::string& path, std::string_view section, std::string_view key) {
    const std::string_view p = skipLeadingControls(path);
    section = skipLeadingControls(section);
    key = skipLeadingControls(key);
    if (p.empty() || section.empty() || key.empty()) return {};
    std::optional<std::string> value = readIniValue(std::string(p), section, key);
    if (!value) return {};
    if (value->size() > kMaxValueBytes) value->resize(kMaxValueBytes);
    return std::move(*value);
}

}  // namespace

TaskStore::TaskStore(std::string runDirectory) : runDirectory_(std::move(runDirectory)) {}

std::string TaskStore::configPath() const {
    if (runDirectory_.empty() || runDirectory_.back() == '/') return runDirectory_ + "Config.ini";
    return runDirectory_ + "/Config.ini";
}

common::Text TaskStore::readUrl(std::string_view taskKey) const {
    return readValue(configPath(), common::kSectionUrl, taskKey);
}

common::Text TaskStore::readSavePath(std::string_view taskKey) const {
    return readValue(configPath(), common::kSectionSavePath, taskKey);
}

common::Text TaskStore::readTaskCount() const {
    return readValue(configPath(), common::kSectionTaskCount, common::kKeyTaskCount);
}

common::Text TaskStore::readLoopMinutes() const {
    return readValue(configPath(), common::kSectionLoopTime, common::kKeyLoopTime);
}

bool TaskStore::writeUrl(std::string_view taskKey, std::string_view url) const {
    return writeIniValue(configPath(), common::kSectionUrl, taskKey, url);
}

bool TaskStore::writeSavePath(std::string_view taskKey, std::string_view savePath) const {
    return writeIniValue(configPath(), common::kSectionSavePath, taskKey, savePath);
}

bool TaskStore::writeTaskCount(std::string_view count) const {
    return writeIniValue(configPath(), common::kSectionTaskCount, common::kKeyTaskCount, count);
}

bool TaskStore::writeLoopMinutes(std::string_view loopMinutes) const {
    return writeIniValue(configPath(), common::kSectionLoopTime, common::kKeyLoopTime, loopMinutes);
}

bool TaskStore::clearAll() const {
    const std::string path = configPath();
    struct stat st {};
    // No file, or no directory to hold one: there is nothing to clear.
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    // A read-only Config.ini is refused here as it is by every write.
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string executableDirectory() {
    std::string buffer(4096, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return ".";
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const std::size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return buffer.substr(0, slash);
}

}  // namespace chengfan::store
