#include "store/TaskStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "common/GbkTexts.h"
#include "store/IniFile.h"

namespace chengfan::store {
namespace {

using testing::fileExists;
using testing::readFileBytes;
using testing::TempDir;
using testing::writeFileBytes;

const std::string kUrlSection = common::kSectionUrl;
const std::string kSavePathSection = common::kSectionSavePath;

std::string fixture(const std::string& name) { return readFileBytes(std::string(CHENGFAN_TEST_DATA_DIR) + "/" + name); }

std::vector<std::string> directoryEntries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
    return names;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
        s.replace(at, from.size(), to);
    }
    return s;
}

class TaskStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    TaskStore store{dir.path()};
};

TEST_F(TaskStoreTest, ConfigPathIsConfigIniInTheRunDirectory) {
    EXPECT_EQ(store.configPath(), dir.path() + "/Config.ini");
    EXPECT_EQ(TaskStore("/opt/chengfan").configPath(), "/opt/chengfan/Config.ini");
    // An executable in the root directory: one slash, not two.
    EXPECT_EQ(TaskStore("/").configPath(), "/Config.ini");
}

TEST(ExecutableDirectory, IsTheDirectoryOfThisProgram) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(executableDirectory(), self.parent_path().string());
    EXPECT_NE(executableDirectory().back(), '/');
}

TEST_F(TaskStoreTest, WithoutAFileEveryReadIsEmptyAndNothingIsCreated) {
    EXPECT_EQ(store.readUrl("1"), "");
    EXPECT_EQ(store.readSavePath("1"), "");
    EXPECT_EQ(store.readTaskCount(), "");
    EXPECT_EQ(store.readLoopMinutes(), "");
    EXPECT_FALSE(fileExists(store.configPath()));
}

TEST_F(TaskStoreTest, SavedTaskReadsBackByteForByte) {
    const std::string url = "http://example.com/\xD0\xC2\xCE\xC5.php?id=1&t=\xB1\x5D";  // 新闻, and a ']' second byte
    const std::string savePath = "D:\\web\\\xCA\xD7\xD2\xB3.html";                         // 首页, with 0x5C second bytes
    ASSERT_TRUE(store.writeUrl("1", url));
    ASSERT_TRUE(store.writeSavePath("1", savePath));
    ASSERT_TRUE(store.writeTaskCount("1"));
    ASSERT_TRUE(store.writeLoopMinutes("0.5"));

    EXPECT_EQ(store.readUrl("1"), url);
    EXPECT_EQ(store.readSavePath("1"), savePath);
    EXPECT_EQ(store.readTaskCount(), "1");
    EXPECT_EQ(store.readLoopMinutes(), "0.5");
    // Keys are texts: 01 is another key.
    EXPECT_EQ(store.readUrl("01"), "");
    EXPECT_EQ(store.readUrl("2"), "");

    // The layout a program-written file has: sections in the order of the first
    // writes, CRLF line ends, names as GBK bytes.
    EXPECT_EQ(readFileBytes(store.configPath()),
              "[" + kUrlSection + "]\r\n1=" + url + "\r\n[" + kSavePathSection + "]\r\n1=" + savePath +
                  "\r\n[ID]\r\nID=1\r\n[\xD1\xAD\xBB\xB7\xCA\xB1\xBC\xE4]\r\n\xCA\xB1\xBC\xE4=0.5\r\n");
}

TEST_F(TaskStoreTest, EditingATaskLeavesTheCountAndClearAllRemovesEverything) {
    ASSERT_TRUE(store.writeUrl("1", "http://a/"));
    ASSERT_TRUE(store.writeSavePath("1", "/tmp/a"));
    ASSERT_TRUE(store.writeTaskCount("1"));
    ASSERT_TRUE(store.writeUrl("2", "http://b/"));
    ASSERT_TRUE(store.writeSavePath("2", "/tmp/b"));
    ASSERT_TRUE(store.writeTaskCount("2"));
    ASSERT_TRUE(store.writeLoopMinutes("5"));

    ASSERT_TRUE(store.writeUrl("1", "http://changed/"));
    ASSERT_TRUE(store.writeSavePath("1", "/tmp/changed"));
    EXPECT_EQ(store.readUrl("1"), "http://changed/");
    EXPECT_EQ(store.readSavePath("1"), "/tmp/changed");
    EXPECT_EQ(store.readUrl("2"), "http://b/");
    EXPECT_EQ(store.readTaskCount(), "2");

    EXPECT_TRUE(store.clearAll());
    EXPECT_FALSE(fileExists(store.configPath()));
    EXPECT_EQ(store.readUrl("1"), "");
    EXPECT_EQ(store.readTaskCount(), "");
    EXPECT_EQ(store.readLoopMinutes(), "");
    // Clearing what is already gone succeeds.
    EXPECT_TRUE(store.clearAll());

    ASSERT_TRUE(store.writeUrl("1", "http://again/"));
    ASSERT_TRUE(store.writeTaskCount("1"));
    EXPECT_EQ(store.readUrl("1"), "http://again/");
    EXPECT_EQ(store.readUrl("2"), "");
    EXPECT_EQ(store.readTaskCount(), "1");
}

TEST_F(TaskStoreTest, LongValueIsStoredWholeAndReadAsItsFirst10239Bytes) {
    std::string url = "http://example.com/?q=";
    while (url.size() < 20000) url += "\xD6\xD0" "abc";  // 中
    url.resize(20000);
    ASSERT_TRUE(store.writeUrl("1", url));
    EXPECT_EQ(store.readUrl("1"), url.substr(0, 10239));

    std::string exact(10239, 'x');
    ASSERT_TRUE(store.writeUrl("2", exact));
    EXPECT_EQ(store.readUrl("2"), exact);
}

TEST_F(TaskStoreTest, ReadsSkipLeadingControlBytesOfTheKeyAndGiveEmptyForAnEmptyKey) {
    // A line with an empty key exists, so only the early return keeps it from being read.
    writeFileBytes(store.configPath(), "[" + kUrlSection + "]\r\n=not a task\r\n1=http://a/\r\n");
    EXPECT_EQ(store.readUrl(" \t\x01" "1"), "http://a/");
    EXPECT_EQ(store.readUrl(""), "");
    EXPECT_EQ(store.readUrl(" "), "");
    EXPECT_EQ(store.readUrl("\x1F\x20"), "");
    EXPECT_EQ(store.readSavePath(""), "");

    const TaskStore blankDirectory(" ");
    EXPECT_EQ(blankDirectory.readUrl("1"), "");
}

TEST_F(TaskStoreTest, ReadsAFileWrittenOnWindowsInEveryLineEndStyle) {
    const std::string original = fixture("windows_written.ini");
    ASSERT_FALSE(original.empty());
    const struct {
        const char* name;
        std::string lineEnd;
    } styles[] = {{"CRLF", "\r\n"}, {"LF", "\n"}, {"CR", "\r"}};
    for (const auto& style : styles) {
        SCOPED_TRACE(style.name);
        writeFileBytes(store.configPath(), replaceAll(original, "\r\n", style.lineEnd));
        EXPECT_EQ(store.readUrl("1"), "http://example.com/a.php?id=1");  // not the later duplicate
        EXPECT_EQ(store.readUrl("2"), "http://example.com/b.php");
        EXPECT_EQ(store.readUrl("3"), "  quoted, blanks inside  ");
        EXPECT_EQ(store.readUrl("4"), "single");
        EXPECT_EQ(store.readUrl("5"), "");  // commented out
        EXPECT_EQ(store.readUrl("9"), "");  // in the second section of the same name
        EXPECT_EQ(store.readSavePath("1"), "D:\\web\\\xCA\xD7\xD2\xB3.html");
        EXPECT_EQ(store.readSavePath("2"), "D:\\web\\b.html");
        EXPECT_EQ(store.readTaskCount(), "2");  // [id] Id=2
        EXPECT_EQ(store.readLoopMinutes(), "0.5");
    }
}

TEST_F(TaskStoreTest, WritingIntoAFileWrittenOnWindowsLeavesEveryOtherLineAsItWas) {
    const std::string original = fixture("windows_written.ini");
    writeFileBytes(store.configPath(), original);

    ASSERT_TRUE(store.writeUrl("10", "http://new/"));
    ASSERT_TRUE(store.writeUrl("2", " blank "));
    ASSERT_TRUE(store.writeTaskCount("10"));
    ASSERT_TRUE(store.writeLoopMinutes("15"));

    std::string expected = original;
    expected = replaceAll(expected, "1=http://duplicate.example/\r\n", "1=http://duplicate.example/\r\n10=http://new/\r\n");
    expected = replaceAll(expected, "  2 = http://example.com/b.php  \r\n", "  2 = \" blank \"\r\n");
    expected = replaceAll(expected, "Id=2\r\n", "Id=10\r\n");
    expected = replaceAll(expected, "\t=\t0.5\t", "\t=\t15");
    EXPECT_EQ(readFileBytes(store.configPath()), expected);

    // A new key at the end of a section, and in the last section, whose last line
    // has no line end.
    writeFileBytes(store.configPath(), original);
    ASSERT_TRUE(store.writeSavePath("3", "/tmp/c"));
    ASSERT_TRUE(writeIniValue(store.configPath(), common::kSectionLoopTime, "new", "1"));
    expected = replaceAll(original, "2=D:\\web\\b.html\r\n", "2=D:\\web\\b.html\r\n3=/tmp/c\r\n");
    EXPECT_EQ(readFileBytes(store.configPath()), expected + "\r\nnew=1\r\n");
}

TEST_F(TaskStoreTest, ValuesWithBlanksOrQuotesAtTheirEndsReadBackExactly) {
    const std::string values[] = {" http://a/", "http://a/ ", "\thttp://a/\t", "\"http://a/\"", "'http://a/'",
                                  "\"http://a/", "http://a/'", "'\"", "\"", "\"\"", " \"q\" "};
    int key = 0;
    for (const std::string& value : values) {
        SCOPED_TRACE("[" + value + "]");
        const std::string k = std::to_string(++key);
        ASSERT_TRUE(store.writeUrl(k, value));
        EXPECT_EQ(store.readUrl(k), value);
        ASSERT_TRUE(store.writeSavePath(k, "x"));
        ASSERT_TRUE(store.writeSavePath(k, value));  // replaced where it stands
        EXPECT_EQ(store.readSavePath(k), value);
    }
}

TEST_F(TaskStoreTest, LineBreaksAreRefusedAndTheFileIsLeftUnchanged) {
    ASSERT_TRUE(store.writeUrl("1", "http://a/"));
    const std::string before = readFileBytes(store.configPath());
    EXPECT_FALSE(store.writeUrl("1", "http://a/\r\n[ID]\r\nID=99"));
    EXPECT_FALSE(store.writeSavePath("1", "line\nbreak"));
    EXPECT_FALSE(store.writeLoopMinutes("5\r"));
    EXPECT_FALSE(store.writeUrl("2\n3", "http://b/"));
    EXPECT_EQ(readFileBytes(store.configPath()), before);
    EXPECT_EQ(store.readTaskCount(), "");

    ASSERT_TRUE(store.clearAll());
    EXPECT_FALSE(store.writeUrl("1", "a\nb"));
    EXPECT_FALSE(fileExists(store.configPath()));
}

TEST_F(TaskStoreTest, WriteThroughARegularFileFailsAndCreatesNothing) {
    writeFileBytes(dir.file("notadir"), "plain file");
    const TaskStore broken(dir.file("notadir"));  // Config.ini would be under a regular file
    EXPECT_FALSE(broken.writeUrl("1", "http://a/"));
    EXPECT_FALSE(broken.writeTaskCount("1"));
    EXPECT_EQ(broken.readUrl("1"), "");
    EXPECT_TRUE(broken.clearAll());  // there is no Config.ini to clear
    EXPECT_EQ(readFileBytes(dir.file("notadir")), "plain file");

    const TaskStore missing(dir.file("no/such/dir"));
    EXPECT_FALSE(missing.writeLoopMinutes("5"));
    EXPECT_EQ(directoryEntries(dir.path()), std::vector<std::string>{"notadir"});
}

TEST_F(TaskStoreTest, ReadOnlyConfigIsNeitherWrittenNorDeleted) {
    ASSERT_TRUE(store.writeUrl("1", "http://a/"));
    const std::string before = readFileBytes(store.configPath());
    ASSERT_EQ(::chmod(store.configPath().c_str(), 0444), 0);

    EXPECT_FALSE(store.writeUrl("1", "http://b/"));
    EXPECT_FALSE(store.writeUrl("2", "http://b/"));
    EXPECT_FALSE(store.clearAll());
    EXPECT_EQ(readFileBytes(store.configPath()), before);
    EXPECT_EQ(store.readUrl("1"), "http://a/");
}

TEST_F(TaskStoreTest, ConfigThatIsADirectoryIsReportedAndKept) {
    std::filesystem::create_directory(store.configPath());
    EXPECT_EQ(store.readUrl("1"), "");
    EXPECT_FALSE(store.writeUrl("1", "http://a/"));
    EXPECT_FALSE(store.clearAll());
    EXPECT_TRUE(std::filesystem::is_directory(store.configPath()));
}

// A full disk: the file size limit makes the write of the new content fail part
// way, as ENOSPC would. The old file must stay whole and no temporary file remain.
TEST_F(TaskStoreTest, FailedWriteOfNewContentLeavesTheOldFileWhole) {
    ASSERT_TRUE(store.writeUrl("1", "http://a/"));
    ASSERT_TRUE(store.writeLoopMinutes("5"));
    const std::string before = readFileBytes(store.configPath());

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    const bool written = store.writeUrl("2", std::string(8000, 'u'));

    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    EXPECT_EQ(readFileBytes(store.configPath()), before);
    EXPECT_EQ(directoryEntries(dir.path()), std::vector<std::string>{"Config.ini"});
}

TEST_F(TaskStoreTest, ReplacementKeepsPermissionBitsAndLinksAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(store.writeUrl("1", "http://a/"));
    ASSERT_EQ(::chmod(store.configPath().c_str(), 0640), 0);
    ASSERT_TRUE(store.writeUrl("1", "http://b/"));
    struct stat st {};
    ASSERT_EQ(::stat(store.configPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(directoryEntries(dir.path()), std::vector<std::string>{"Config.ini"});

    // A Config.ini that links elsewhere stays a link; the file it names is rewritten.
    TempDir elsewhere;
    writeFileBytes(elsewhere.file("real.ini"), "[" + kUrlSection + "]\r\n1=http://old/\r\n");
    ASSERT_TRUE(store.clearAll());
    std::filesystem::create_symlink(elsewhere.file("real.ini"), store.configPath());
    ASSERT_TRUE(store.writeUrl("1", "http://linked/"));
    EXPECT_TRUE(std::filesystem::is_symlink(store.configPath()));
    EXPECT_EQ(readFileBytes(elsewhere.file("real.ini")), "[" + kUrlSection + "]\r\n1=http://linked/\r\n");
    EXPECT_EQ(store.readUrl("1"), "http://linked/");
}

TEST_F(TaskStoreTest, ChangesMadeByAnotherProgramAreSeenAtTheNextRead) {
    ASSERT_TRUE(store.writeUrl("1", "http://a/"));
    EXPECT_EQ(store.readUrl("1"), "http://a/");
    writeFileBytes(store.configPath(), "[" + kUrlSection + "]\r\n1=http://outside/\r\n");
    EXPECT_EQ(store.readUrl("1"), "http://outside/");
}

}  // namespace
}  // namespace chengfan::store
