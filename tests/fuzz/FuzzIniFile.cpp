// Fuzz target: the INI reader and writer on arbitrary file bytes. Every read of
// the program's own names and of the input's names must not crash; a write must
// read back exactly what was written, leave every other line of the file as it
// was (only the key's line changes, or one key line, or a header and a key line,
// is added) and leave every other value of the program as it read before. The
// same is checked through a real file.
//
// Input: byte 0 chooses names, bytes 1..3 are the lengths (mod 64) of the
// section, key and value taken from what follows; the rest is the file.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "common/GbkTexts.h"
#include "store/IniFile.h"

using namespace chengfan;

namespace {

const std::pair<std::string_view, std::string_view> kProgramNames[] = {
    {common::kSectionUrl, "1"},
    {common::kSectionUrl, "2"},
    {common::kSectionSavePath, "1"},
    {common::kSectionTaskCount, common::kKeyTaskCount},
    {common::kSectionLoopTime, common::kKeyLoopTime},
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Equal when ASCII letters are folded everywhere. The reader folds only
// single-byte characters, so names that differ here differ for it too.
bool looselyEqual(std::string_view a, std::string_view b) {
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// The lines of a file without their ends (CR LF, LF or CR).
std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(std::string_view("\r\n", 2), start);
        if (end == std::string_view::npos) {
            out.push_back(text.substr(start));
            break;
        }
        out.push_back(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return out;
}

// Why a write may be refused: a name that is empty after trimming or holds a
// line break or a zero byte, a section ending in half a GBK character, a key that would read as a comment, a header or a
// shorter key, a value holding a line break.
bool refusable(std::string_view section, std::string_view key, std::string_view value) {
    const auto bad = [](std::string_view name) {
        return name.empty() || name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    };
    section = trim(section);
    key = trim(key);
    if (bad(section) || bad(key)) return true;
    // A section whose last byte is a GBK lead byte would swallow its own ']'.
    for (std::size_t i = 0; i < section.size(); ++i) {
        const auto c = static_cast<unsigned char>(section[i]);
        if (c >= 0x81 && c <= 0xFE) {
            if (i + 1 == section.size()) return true;
            ++i;
        }
    }
    if (key.front() == ';' || key.front() == '[' || key.find('=') != std::string_view::npos) return true;
    return value.find_first_of(std::string_view("\r\n", 2)) != std::string_view::npos;
}

// A scratch directory for the whole run, removed when the program ends.
class ScratchDirectory {
public:
    ScratchDirectory() {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string dir = std::string(base) + "/chengfan-fuzz-XXXXXX";
        if (::mkdtemp(dir.data()) == nullptr) std::abort();
        dir_ = dir;
    }
    ~ScratchDirectory() { std::filesystem::remove_all(dir_); }
    std::string file() const { return dir_ + "/Config.ini"; }

private:
    std::string dir_;
};

const std::string& scratchFile() {
    static const ScratchDirectory directory;
    static const std::string path = directory.file();
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint8_t choice = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    const auto take = [&rest](std::size_t n) {
        n = std::min(n % 64, rest.size());
        const std::string_view piece = rest.substr(0, n);
        rest.remove_prefix(n);
        return piece;
    };
    std::string_view section = take(data[1]);
    std::string_view key = take(data[2]);
    const std::string_view value = take(data[3]);
    if (choice & 1) {
        const auto& names = kProgramNames[(choice >> 1) % std::size(kProgramNames)];
        section = names.first;
        if (choice & 16) key = names.second;
    }
    const std::string_view content = rest;

    std::vector<std::optional<std::string>> before;
    for (const auto& [s, k] : kProgramNames) before.push_back(store::iniLookup(content, s, k));
    const std::optional<std::string> old = store::iniLookup(content, section, key);
    for (const auto& read : before) {
        FUZZ_CHECK(!read || read->find_first_of(std::string_view("\r\n", 2)) == std::string::npos,
                   "a value read with a line break");
    }

    const std::optional<std::string> updated = store::iniUpdate(content, section, key, value);
    if (!updated) {
        FUZZ_CHECK(refusable(section, key, value), "write refused: [%s] %s=%s", printable(section).c_str(),
                   printable(key).c_str(), printable(value).c_str());
    } else {
        const std::optional<std::string> back = store::iniLookup(*updated, section, key);
        FUZZ_CHECK(back == std::string(value), "[%s] %s=%s read back as %s from\n%s", printable(section).c_str(),
                   printable(key).c_str(), printable(value).c_str(), back ? printable(*back).c_str() : "nothing",
                   printable(*updated).c_str());

        std::size_t i = 0;
        for (const auto& [s, k] : kProgramNames) {
            if (!(looselyEqual(s, section) && looselyEqual(k, key))) {
                FUZZ_CHECK(store::iniLookup(*updated, s, k) == before[i], "the write of [%s] %s changed [%s] %s",
                           printable(section).c_str(), printable(key).c_str(), printable(s).c_str(),
                           printable(k).c_str());
            }
            ++i;
        }

        // Every line but the one written stays, in order: what differs between the
        // two files is at most one old line and at most two new ones.
        const auto oldLines = lines(content);
        const auto newLines = lines(*updated);
        std::size_t prefix = 0;
        while (prefix < oldLines.size() && prefix < newLines.size() && oldLines[prefix] == newLines[prefix]) ++prefix;
        std::size_t suffix = 0;
        while (suffix < oldLines.size() - prefix && suffix < newLines.size() - prefix &&
               oldLines[oldLines.size() - 1 - suffix] == newLines[newLines.size() - 1 - suffix])
            ++suffix;
        const std::size_t removed = oldLines.size() - prefix - suffix;
        const std::size_t added = newLines.size() - prefix - suffix;
        FUZZ_CHECK(removed <= 1 && added <= 2 && (removed == 0 || (added == 1 && old)),
                   "the write of [%s] %s removed %zu lines and added %zu:\n%s\n---\n%s", printable(section).c_str(),
                   printable(key).c_str(), removed, added, printable(content).c_str(), printable(*updated).c_str());
    }

    // The same through a file.
    const std::string& path = scratchFile();
    writeFile(path, content);
    FUZZ_CHECK(store::readIniValue(path, section, key) == old, "the file reads differently from its content");
    const bool written = store::writeIniValue(path, section, key, value);
    FUZZ_CHECK(written == updated.has_value(), "writeIniValue said %d", written);
    const std::string after = readFile(path);
    FUZZ_CHECK(after == (updated ? *updated : std::string(content)), "the file holds other bytes than the update");
    return 0;
}
