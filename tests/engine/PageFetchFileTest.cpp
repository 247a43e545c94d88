#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/PageFetch.h"
#include "support/TempDir.h"

namespace chengfan::engine {
namespace {

using testing::fileExists;
using testing::namesIn;
using testing::readFileBytes;
using testing::TempDir;
using testing::writeFileBytes;

common::Bytes bytesOf(const std::string& text) { return common::Bytes(text.begin(), text.end()); }

class WriteBytesToFileTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(WriteBytesToFileTest, WritesExactlyTheBytes) {
    const std::string withZeros("a\0b\0\0c\r\n\xFF", 9);
    struct Case {
        const char* name;
        std::string earlier;  // empty: no file before
        std::string content;
    };
    const Case cases[] = {
        {"new file", "", "<html>page</html>"},
        {"zero bytes kept", "", withZeros},
        {"nothing to write: an empty file", "", ""},
        {"longer earlier file ends at the new length", std::string(5000, 'x'), "short"},
        {"empty content over an earlier file", "earlier", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_.file("page.html");
        std::filesystem::remove(path);
        if (!c.earlier.empty()) writeFileBytes(path, c.earlier);
        EXPECT_TRUE(writeBytesToFile(path, bytesOf(c.content)));
        EXPECT_EQ(readFileBytes(path), c.content);
        EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"page.html"});
    }
}

TEST_F(WriteBytesToFileTest, RefusesPathsItCannotWriteAndKeepsWhatIsThere) {
    const std::string regular = dir_.file("regular.txt");
    const std::string readOnly = dir_.file("read-only.html");
    const std::string directory = dir_.file("sub");
    writeFileBytes(regular, "regular");
    writeFileBytes(readOnly, "kept");
    ::chmod(readOnly.c_str(), 0444);
    std::filesystem::create_directory(directory);

    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"empty path", ""},
        {"directory that does not exist", dir_.file("missing/page.html")},
        {"a file where a directory should be", regular + "/page.html"},
        {"a directory", directory},
        {"a directory, with a slash", directory + "/"},
        {"a file without write permission", readOnly},
        {"a device that takes no bytes", "/dev/full"},
        {"a name that is not GBK", dir_.file("\xFF\xFE.html")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(writeBytesToFile(c.path, bytesOf("new content")));
    }
    EXPECT_EQ(readFileBytes(regular), "regular");
    EXPECT_EQ(readFileBytes(readOnly), "kept");
    EXPECT_TRUE(std::filesystem::is_empty(directory));
    EXPECT_EQ(namesIn(dir_.path()), (std::vector<std::string>{"read-only.html", "regular.txt", "sub"}));
}

TEST_F(WriteBytesToFileTest, GbkPathBecomesAUtf8Name) {
    // "中文.html" in GBK.
    ASSERT_TRUE(writeBytesToFile(dir_.file("\xD6\xD0\xCE\xC4.html"), bytesOf("page")));
    EXPECT_EQ(readFileBytes(dir_.file("\xE4\xB8\xAD\xE6\x96\x87.html")), "page");
    EXPECT_EQ(namesIn(dir_.path()), std::vector<std::string>{"\xE4\xB8\xAD\xE6\x96\x87.html"});
}

TEST_F(WriteBytesToFileTest, RelativePathLandsInTheWorkingDirectory) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    const bool written = writeBytesToFile("page.html", bytesOf("here"));
    std::filesystem::current_path(previous);
    EXPECT_TRUE(written);
    EXPECT_EQ(readFileBytes(dir_.file("page.html")), "here");
}

TEST_F(WriteBytesToFileTest, NewFileGetsTheUsualModeAndAnEarlierOneKeepsItsOwn) {
    const mode_t mask = ::umask(022);
    const std::string fresh = dir_.file("fresh.html");
    const std::string earlier = dir_.file("earlier.html");
    writeFileBytes(earlier, "earlier");
    ::chmod(earlier.c_str(), 0604);
    const bool freshWritten = writeBytesToFile(fresh, bytesOf("a"));
    const bool earlierWritten = writeBytesToFile(earlier, bytesOf("b"));
    ::umask(mask);
    ASSERT_TRUE(freshWritten);
    ASSERT_TRUE(earlierWritten);
    struct stat info {};
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    ASSERT_EQ(::stat(earlier.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_EQ(readFileBytes(earlier), "b");
}

TEST_F(WriteBytesToFileTest, LinkIsWrittenThroughToItsTarget) {
    std::filesystem::create_directory(dir_.file("pages"));
    writeFileBytes(dir_.file("pages/real.html"), "earlier");
    // A relative link in another directory, and a link to that link.
    std::filesystem::create_symlink("pages/real.html", dir_.file("first.html"));
    std::filesystem::create_symlink(dir_.file("first.html"), dir_.file("second.html"));
    std::filesystem::create_symlink("pages/new.html", dir_.file("dangling.html"));

    ASSERT_TRUE(writeBytesToFile(dir_.file("second.html"), bytesOf("through")));
    ASSERT_TRUE(writeBytesToFile(dir_.file("dangling.html"), bytesOf("created")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.file("first.html")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.file("second.html")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.file("dangling.html")));
    EXPECT_EQ(readFileBytes(dir_.file("pages/real.html")), "through");
    EXPECT_EQ(readFileBytes(dir_.file("pages/new.html")), "created");
    EXPECT_EQ(namesIn(dir_.file("pages")), (std::vector<std::string>{"new.html", "real.html"}));
}

}  // namespace
}  // namespace chengfan::engine
