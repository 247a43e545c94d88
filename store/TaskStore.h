#pragma once

#include <string>
#include <string_view>

#include "common/Text.h"

namespace chengfan::store {

// Every read and write of Config.ini. Nothing is cached: each operation forms the
// path, makes one access and returns, so the run cycle and the dialogs see each
// other's writes at once. Sections, keys and values are GBK; the path is the
// file system's own bytes.
class TaskStore {
public:
    // runDirectory: the directory of the executable, as the file system names it.
    explicit TaskStore(std::string runDirectory);

    std::string configPath() const;

    // Reads give the empty text for a missing file, section or key; values are
    // cut to their first 10239 bytes.
    common::Text readUrl(std::string_view taskKey) const;
    common::Text readSavePath(std::string_view taskKey) const;
    common::Text readTaskCount() const;
    common::Text readLoopMinutes() const;

    // Writes tell whether Config.ini now holds the value. A key or value holding a
    // line break is refused (false) and leaves the file as it was.
    bool writeUrl(std::string_view taskKey, std::string_view url) const;
    bool writeSavePath(std::string_view taskKey, std::string_view savePath) const;
    bool writeTaskCount(std::string_view count) const;
    bool writeLoopMinutes(std::string_view loopMinutes) const;

    // Deletes Config.ini, the loop time with the tasks. A missing file is success.
    bool clearAll() const;

private:
    std::string runDirectory_;
};

// The directory of the running executable (without a trailing slash, "/" for the root).
std::string executableDirectory();

}  // namespace chengfan::store
