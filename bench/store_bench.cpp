// Times TaskStore on Config.ini files of 10, 1,000 and 100,000 tasks: readUrl of
// the last task and writeUrl of a new task, each beside the time of reading the
// whole file into memory once, which is the least any read of the file can cost.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/GbkTexts.h"
#include "store/TaskStore.h"

namespace {

using Clock = std::chrono::steady_clock;

double microsecondsOf(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The file as the program itself writes it after saving `tasks` tasks and a loop time.
std::string programWrittenConfig(int tasks) {
    std::string urls;
    std::string savePaths;
    urls.append("[").append(chengfan::common::kSectionUrl).append("]\r\n");
    savePaths.append("[").append(chengfan::common::kSectionSavePath).append("]\r\n");
    for (int n = 1; n <= tasks; ++n) {
        const std::string key = std::to_string(n);
        urls.append(key).append("=http://www.example.com/news/list.php?id=").append(key).append("\r\n");
        savePaths.append(key).append("=/var/www/html/\xD0\xC2\xCE\xC5/page").append(key).append(".html\r\n");
    }
    std::string content = urls;
    content.append(savePaths);
    content.append("[ID]\r\nID=").append(std::to_string(tasks)).append("\r\n");
    content.append("[").append(chengfan::common::kSectionLoopTime).append("]\r\n");
    content.append(chengfan::common::kKeyLoopTime).append("=5\r\n");
    return content;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The whole file into memory in one read: the baseline every lookup is measured against.
std::size_t rawRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st {};
    ::fstat(fd, &st);
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    auto buffer = std::make_unique_for_overwrite<char[]>(size + 1);
    std::size_t used = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.get() + used, size + 1 - used);
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
        if (used == size + 1) break;
    }
    ::close(fd);
    // Touch the bytes so the read cannot be optimised away.
    return used + static_cast<unsigned char>(used > 0 ? buffer[used - 1] : 0);
}

}  // namespace

int main() {
    std::string pattern = (std::filesystem::temp_directory_path() / "chengfan-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "cannot make a temporary directory\n");
        return 1;
    }
    const std::string dir = pattern;

    std::printf("%8s %11s %11s %11s %7s %11s %7s\n", "tasks", "file bytes", "raw read us", "readUrl us",
                "ratio", "writeUrl us", "ratio");
    int status = 0;
    for (const int tasks : {10, 1000, 100000}) {
        const chengfan::store::TaskStore store(dir);
        const std::string path = store.configPath();
        const std::string content = programWrittenConfig(tasks);
        if (!writeFile(path, content)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            status = 1;
            break;
        }
        const std::string lastKey = std::to_string(tasks);
        if (store.readUrl(lastKey).empty()) {
            std::fprintf(stderr, "task %s not found\n", lastKey.c_str());
            status = 1;
            break;
        }
        const int readReps = tasks >= 100000 ? 40 : 400;
        const int writeReps = tasks >= 100000 ? 8 : 30;

        // The raw read and the lookup alternate, so that a busy machine slows both alike.
        volatile std::size_t sink = 0;
        std::vector<double> rawTimes;
        std::vector<double> readTimes;
        for (int i = 0; i < readReps; ++i) {
            rawTimes.push_back(microsecondsOf([&] { sink = sink + rawRead(path); }));
            readTimes.push_back(microsecondsOf([&] { sink = sink + store.readUrl(lastKey).size(); }));
        }
        const double raw = median(rawTimes);
        const double read = median(readTimes);

        bool writesOk = true;
        std::vector<double> writeTimes;
        for (int i = 0; i < writeReps; ++i) {
            const std::string newKey = std::to_string(tasks + 1 + i);
            writeTimes.push_back(microsecondsOf(
                [&] { writesOk = store.writeUrl(newKey, "http://www.example.com/new.php") && writesOk; }));
        }
        const double write = median(writeTimes);
        if (!writesOk) {
            std::fprintf(stderr, "a write failed\n");
            status = 1;
        }
        std::printf("%8d %11zu %11.1f %11.1f %7.2f %11.1f %7.2f\n", tasks, content.size(), raw, read, read / raw,
                    write, write / raw);
    }
    std::printf("Figures are medians. A write rewrites the whole file beside it, flushes it to the disk\n"
                "and renames it over the old one, so its time includes an fsync.\n");
    std::filesystem::remove_all(dir);
    return status;
}
