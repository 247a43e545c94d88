#include "store/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <memory>

namespace chengfan::store {

namespace {

// Blanks are space and tab: the bytes the Windows profile functions trim around
// names and values. Neither can be the second byte of a GBK character (those are
// 0x40..0xFE), so trimming at either end of a GBK text never splits a character.
constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }

constexpr bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// A GBK lead byte takes the next byte with it as one character.
constexpr bool isGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

constexpr char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

std::string_view trimBlanks(std::string_view s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && isBlank(s[begin])) ++begin;
    while (end > begin && isBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// Names compare without regard to ASCII letter case. Only single-byte characters
// fold: the second byte of a GBK character may be 'A'..'Z' and must match exactly,
// or two different Chinese names could compare equal.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    const std::size_t n = a.size();
    while (i < n) {
        const char ca = a[i];
        if (isGbkLead(static_cast<unsigned char>(ca)) && i + 1 < n) {
            if (ca != b[i] || a[i + 1] != b[i + 1]) return false;
            i += 2;
        } else {
            if (ca != b[i] && asciiLower(ca) != asciiLower(b[i])) return false;
            ++i;
        }
    }
    return true;
}

// The last ']' of a header line that is a character of its own, not the second
// byte of a GBK character. npos when there is none.
std::size_t lastClosingBracket(std::string_view line, std::size_t from) {
    std::size_t found = std::string_view::npos;
    std::size_t i = from;
    while (i < line.size()) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (isGbkLead(c) && i + 1 < line.size()) {
            i += 2;
            continue;
        }
        if (c == ']') found = i;
        ++i;
    }
    return found;
}

// One line of the file as the reader sees it.
struct Line {
    enum Kind { Ignored, Header, Entry };
    Kind kind = Ignored;
    std::size_t begin = 0;     // offset of the line in the content
    std::size_t end = 0;       // offset just past its text, before the line end
    std::size_t next = 0;      // offset of the following line
    std::string_view name;     // section name (Header) or key (Entry), blanks trimmed
    std::size_t valueBegin = 0;  // Entry: offset just past the '='
};

// Walks the lines of INI content once. A line ends at CR LF, LF or CR. Finding the
// line ends uses memchr and remembers where the next CR and LF are, so a file
// with one kind of line end is not searched again for the other kind on every line.
class LineScanner {
public:
    explicit LineScanner(std::string_view content) : text_(content) {}

    bool next(Line& line) {
        const std::size_t size = text_.size();
        if (pos_ >= size) return false;
        const char* data = text_.data();
        if (nextLf_ != npos && nextLf_ < pos_) nextLf_ = find('\n');
        if (nextCr_ != npos && nextCr_ < pos_) nextCr_ = find('\r');
        if (nextLf_ == unknown) nextLf_ = find('\n');
        if (nextCr_ == unknown) nextCr_ = find('\r');

        std::size_t end = nextLf_ < nextCr_ ? nextLf_ : nextCr_;
        std::size_t next;
        if (end == npos) {
            end = size;
            next = size;
        } else if (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') {
            next = end + 2;
        } else {
            next = end + 1;
        }
        line.begin = pos_;
        line.end = end;
        line.next = next;
        classify(line);
        pos_ = next;
        return true;
    }

private:
    static constexpr std::size_t npos = std::string_view::npos;
    static constexpr std::size_t unknown = npos - 1;

    std::size_t find(char c) const {
        const void* hit = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
        return hit == nullptr ? npos : static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
    }

    void classify(Line& line) const {
        const std::string_view text = text_.substr(line.begin, line.end - line.begin);
        std::size_t first = 0;
        while (first < text.size() && isBlank(text[first])) ++first;
        line.kind = Line::Ignored;
        line.name = {};
        if (first == text.size() || text[first] == ';') return;
        if (text[first] == '[') {
            const std::size_t close = lastClosingBracket(text, first + 1);
            if (close != npos) {
                line.kind = Line::Header;
                line.name = trimBlanks(text.substr(first + 1, close - first - 1));
                return;
            }
            // Without a closing bracket the line may still be a key, as Windows reads it.
        }
        // '=' is never the second byte of a GBK character, so a plain search is exact.
        const void* eq = std::memchr(text.data() + first, '=', text.size() - first);
        if (eq == nullptr) return;
        const std::size_t eqPos = static_cast<std::size_t>(static_cast<const char*>(eq) - text.data());
        line.kind = Line::Entry;
        line.name = trimBlanks(text.substr(first, eqPos - first));
        line.valueBegin = line.begin + eqPos + 1;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextLf_ = unknown;
    std::size_t nextCr_ = unknown;
};

bool holdsLineBreak(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n", 2)) != std::string_view::npos;
}

// What the reader does to a value: blanks around it go, then one outer pair of
// matching quotes.
std::string_view decodeValue(std::string_view raw) {
    std::string_view v = trimBlanks(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

// The value as written to the file, so that decodeValue gives it back unchanged:
// a value with blanks at an end, or with an outer pair of matching quotes, is
// wrapped in one more pair of double quotes.
std::string encodeValue(std::string_view value) {
    bool wrap = false;
    if (!value.empty()) {
        if (isBlank(value.front()) || isBlank(value.back())) wrap = true;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            wrap = true;
    }
    if (!wrap) return std::string(value);
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    out += value;
    out += '"';
    return out;
}

// What an update needs to know: whether the first section of that name exists, the
// key's line in it if there is one, and otherwise the section's last line that is
// not blank, after which a new key goes.
struct SectionMatch {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;
    Line lastContentLine;  // the header itself when the section has nothing else
};

SectionMatch findEntry(std::string_view content, std::string_view section, std::string_view key) {
    SectionMatch match;
    LineScanner scanner(content);
    Line line;
    bool inSection = false;
    while (scanner.next(line)) {
        if (line.kind == Line::Header) {
            if (inSection) break;  // the first section of a name is the one that counts
            if (sameName(line.name, section)) {
                inSection = true;
                match.sectionFound = true;
                match.lastContentLine = line;
            }
            continue;
        }
        if (!inSection) continue;
        if (line.kind == Line::Entry && !match.keyFound && sameName(line.name, key)) {
            match.keyFound = true;
            match.keyLine = line;
            return match;
        }
        // A line of blanks is not content; comments and other lines are.
        if (!trimBlanks(content.substr(line.begin, line.end - line.begin)).empty()) {
            match.lastContentLine = line;
        }
    }
    return match;
}

// ---- lookup ----
//
// A lookup must cost little more than reading the file, even with 100,000 tasks in
// one section. Rather than classify every line, it searches with memchr for the
// '[' that can open a section header and, for a key without ASCII letters (task
// numbers), with memmem for the key itself; each hit is then checked to stand where
// the line-by-line reading would take it. Keys with letters are compared line by
// line within their section, which is small for those keys.

// The end of the line holding pos: the offset of its CR or LF, or the content's end.
std::size_t lineEndFrom(std::string_view content, std::size_t pos) {
    const char* data = content.data();
    const std::size_t size = content.size();
    const void* lf = std::memchr(data + pos, '\n', size - pos);
    const std::size_t lfPos = lf == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(lf) - data);
    const void* cr = std::memchr(data + pos, '\r', lfPos - pos);
    return cr == nullptr ? lfPos : static_cast<std::size_t>(static_cast<const char*>(cr) - data);
}

std::size_t nextLineStart(std::string_view content, std::size_t lineEnd) {
    if (lineEnd >= content.size()) return content.size();
    if (content[lineEnd] == '\r' && lineEnd + 1 < content.size() && content[lineEnd + 1] == '\n') return lineEnd + 2;
    return lineEnd + 1;
}

// Whether only blanks stand between the start of pos's line and pos; lineStart
// receives that start.
bool atLineStart(std::string_view content, std::size_t floor, std::size_t pos, std::size_t& lineStart) {
    std::size_t i = pos;
    while (i > floor && isBlank(content[i - 1])) --i;
    lineStart = i;
    return i == floor || isLineEnd(content[i - 1]);
}

// The next section header line that starts within [from, to): its '[' and the
// start of the following line. A header is a line whose first non-blank byte is
// '[' and that holds a closing ']'.
struct HeaderLine {
    std::size_t open = std::string_view::npos;
    std::size_t next = 0;
};

HeaderLine nextHeader(std::string_view content, std::size_t from, std::size_t to) {
    const char* data = content.data();
    std::size_t pos = from;
    while (pos < to) {
        const void* hit = std::memchr(data + pos, '[', to - pos);
        if (hit == nullptr) break;
        const std::size_t open = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        std::size_t lineStart = 0;
        if (!atLineStart(content, 0, open, lineStart)) {
            pos = open + 1;
            continue;
        }
        const std::size_t end = lineEndFrom(content, open);
        const std::size_t next = nextLineStart(content, end);
        if (lastClosingBracket(content.substr(open, end - open), 1) != std::string_view::npos) {
            return HeaderLine{open, next};
        }
        pos = next;  // a line such as "[k=v" is a key line, not a header
    }
    return HeaderLine{};
}

// The start of the body (the line after the header) of the first section of that name.
std::optional<std::size_t> findSectionBody(std::string_view content, std::string_view section) {
    std::size_t pos = 0;
    for (;;) {
        const HeaderLine header = nextHeader(content, pos, content.size());
        if (header.open == std::string_view::npos) return std::nullopt;
        const std::string_view line = content.substr(header.open, lineEndFrom(content, header.open) - header.open);
        const std::size_t close = lastClosingBracket(line, 1);
        if (sameName(trimBlanks(line.substr(1, close - 1)), section)) return header.next;
        pos = header.next;
    }
}

bool holdsAsciiLetter(std::string_view s) {
    for (const char c : s) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    }
    return false;
}

// The raw value (after '=', up to the line end) of the first line of the section
// body whose key is key. The body ends at the next header, which is searched for
// only as far as the key's first occurrence, so an early task of a long list is
// found without reading the rest of the list.
std::optional<std::string_view> findRawValue(std::string_view content, std::size_t bodyBegin,
                                             std::string_view key) {
    const bool searchable = !key.empty() && key.front() != '[' && key.front() != ';' &&
                            key.find_first_of(std::string_view("=\r\n", 3)) == std::string_view::npos &&
                            !holdsAsciiLetter(key);
    if (!searchable) {
        LineScanner scanner(content.substr(bodyBegin));
        Line line;
        while (scanner.next(line)) {
            if (line.kind == Line::Header) break;
            if (line.kind == Line::Entry && sameName(line.name, key)) {
                return content.substr(bodyBegin + line.valueBegin, line.end - line.valueBegin);
            }
        }
        return std::nullopt;
    }
    // The key has no letters to fold, so the line that names it holds its exact
    // bytes at its start, after blanks, followed by blanks and '='. Such a line is
    // neither a comment nor a header, as the key starts with neither ';' nor '['.
    const char* data = content.data();
    const std::size_t size = content.size();
    std::size_t pos = bodyBegin;
    std::size_t headerFreeUpTo = bodyBegin;
    while (pos < size) {
        const void* hit = ::memmem(data + pos, size - pos, key.data(), key.size());
        if (hit == nullptr) return std::nullopt;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (nextHeader(content, headerFreeUpTo, at).open != std::string_view::npos) return std::nullopt;
        headerFreeUpTo = at;
        pos = at + 1;
        std::size_t lineStart = 0;
        if (!atLineStart(content, bodyBegin, at, lineStart)) continue;
        std::size_t after = at + key.size();
        while (after < size && isBlank(data[after])) ++after;
        if (after >= size || data[after] != '=') continue;
        const std::size_t valueBegin = after + 1;
        return content.substr(valueBegin, lineEndFrom(content, valueBegin) - valueBegin);
    }
    return std::nullopt;
}

bool storableName(std::string_view name) {
    if (name.empty()) return false;
    if (holdsLineBreak(name)) return false;
    return name.find('\0') == std::string_view::npos;
}

// A name whose last byte is a GBK lead byte without its second byte: in a header
// that lead byte would take the closing ']' as its second byte, and the section
// would never be found again.
bool endsInHalfCharacter(std::string_view name) {
    std::size_t i = 0;
    while (i < name.size()) {
        if (isGbkLead(static_cast<unsigned char>(name[i]))) {
            if (i + 1 == name.size()) return true;
            i += 2;
        } else {
            ++i;
        }
    }
    return false;
}

// ---- files ----

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so a failed close (a delayed write error) can be seen.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

enum class ReadOutcome { Read, Missing, Failed };

// The bytes of a whole file. The buffer is not zero-filled first and is not copied
// again afterwards: a value lookup should cost little more than the read itself.
class FileBytes {
public:
    std::string_view view() const { return {data_.get(), size_}; }
    ReadOutcome read(const std::string& path);

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
};

ReadOutcome FileBytes::read(const std::string& path) {
    // O_NONBLOCK: a FIFO put in the file's place must not hang the program; it is
    // refused below like any other file that is not a regular one.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return errno == ENOENT || errno == ENOTDIR ? ReadOutcome::Missing : ReadOutcome::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return ReadOutcome::Failed;
    if (!S_ISREG(st.st_mode)) return ReadOutcome::Failed;
    std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;  // +1 sees a file that grew
    std::size_t used = 0;
    data_ = std::make_unique_for_overwrite<char[]>(capacity);
    for (;;) {
        if (used == capacity) {
            const std::size_t bigger = capacity * 2;
            auto grown = std::make_unique_for_overwrite<char[]>(bigger);
            std::memcpy(grown.get(), data_.get(), used);
            data_ = std::move(grown);
            capacity = bigger;
        }
        const ssize_t n = ::read(fd.get(), data_.get() + used, capacity - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadOutcome::Failed;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    size_ = used;
    return ReadOutcome::Read;
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A name beside the target that no other writer picks at the same moment; a
// clash is still caught by O_EXCL and another name is tried.
std::string temporaryName(const std::string& target) {
    static std::atomic<unsigned long long> counter{0};
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long seed =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<unsigned long long>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
    std::string name = target + ".";
    for (int i = 0; i < 6; ++i) {
        name += digits[seed % 36];
        seed /= 36;
    }
    return name;
}

// Gives a complete unnamed file (O_TMPFILE) a temporary name beside target.
bool nameUnnamedFile(int fd, const std::string& target, std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = temporaryName(target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            ::linkat(fd, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0) {
            name = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// Replaces the file at path with bytes: a temporary file in the same directory,
// written in full and flushed to the disk, is renamed over the old one, so every
// failure leaves the old file (or no file) untouched. An existing file keeps its
// permission bits and owner. The temporary file has no name until it is complete
// where the file system allows, so a writer killed part-way leaves nothing behind.
bool replaceFile(const std::string& path, const struct stat* old, std::string_view bytes) {
    std::string temp;
    int rawFd = ::open(directoryOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    const bool unnamed = rawFd >= 0;
    for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
        temp = temporaryName(path);
        rawFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (rawFd < 0 && errno != EEXIST) return false;
    }
    if (rawFd < 0) return false;
    FileDescriptor fd(rawFd);
    bool ok = true;
    if (old != nullptr) {
        if (::fchmod(fd.get(), old->st_mode & 07777) != 0) ok = false;
        // Only root can give a file away; anyone else keeps their own ownership.
        if (ok && (old->st_uid != ::geteuid() || old->st_gid != ::getegid())) {
            [[maybe_unused]] const int ignored = ::fchown(fd.get(), old->st_uid, old->st_gid);
        }
    }
    ok = ok && writeAll(fd.get(), bytes);
    ok = ok && ::fsync(fd.get()) == 0;
    if (ok && unnamed) ok = nameUnnamedFile(fd.get(), path, temp);
    ok = fd.close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (!temp.empty()) ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is complete either way.
    FileDescriptor dir(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

// A file without any write bit is read-only, as on Windows, where the profile
// functions cannot write it. The check is explicit because the rename would
// replace it regardless, and root ignores the bits anyway.
bool isReadOnly(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// The file that a write must replace: the target of a symbolic link rather than the
// link itself, so a linked Config.ini stays linked.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        if (real) return std::string(real.get());
    }
    return path;
}

}  // namespace

std::optional<std::string> iniLookup(std::string_view content, std::string_view section,
                                     std::string_view key) {
    section = trimBlanks(section);
    key = trimBlanks(key);
    const std::optional<std::size_t> body = findSectionBody(content, section);
    if (!body) return std::nullopt;
    const std::optional<std::string_view> raw = findRawValue(content, *body, key);
    if (!raw) return std::nullopt;
    return std::string(decodeValue(*raw));
}

std::optional<std::string> iniUpdate(std::string_view content, std::string_view section,
                                     std::string_view key, std::string_view value) {
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (!storableName(section) || !storableName(key)) return std::nullopt;
    if (endsInHalfCharacter(section)) return std::nullopt;
    // A key that would read as a comment, a section header or a shorter key.
    if (key.front() == ';' || key.front() == '[' || key.find('=') != std::string_view::npos) {
        return std::nullopt;
    }
    if (holdsLineBreak(value)) return std::nullopt;

    const std::string encoded = encodeValue(value);
    const SectionMatch match = findEntry(content, section, key);
    std::string out;
    out.reserve(content.size() + section.size() + key.size() + encoded.size() + 8);

    if (match.keyFound) {
        // Keep the key as spelled in the file and the blanks after '='.
        const Line& line = match.keyLine;
        std::size_t valueStart = line.valueBegin;
        while (valueStart < line.end && isBlank(content[valueStart])) ++valueStart;
        out.append(content.substr(0, valueStart));
        out.append(encoded);
        out.append(content.substr(line.end));
        return out;
    }

    const bool needsLineEnd = !content.empty() && !isLineEnd(content.back());
    if (!match.sectionFound) {
        out.append(content);
        if (needsLineEnd) out.append("\r\n");
        out.append("[").append(section).append("]\r\n");
        out.append(key).append("=").append(encoded).append("\r\n");
        return out;
    }

    // The new key goes after the section's last non-blank line, so blank lines that
    // separate it from the next section stay where they are.
    const Line& after = match.lastContentLine;
    out.append(content.substr(0, after.next));
    if (after.next == after.end) out.append("\r\n");  // the last line had no line end
    out.append(key).append("=").append(encoded).append("\r\n");
    out.append(content.substr(after.next));
    return out;
}

std::optional<std::string> readIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) {
    FileBytes bytes;
    if (bytes.read(path) != ReadOutcome::Read) return std::nullopt;
    return iniLookup(bytes.view(), section, key);
}

bool writeIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
    const std::string target = resolveTarget(path);
    FileBytes bytes;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode) || isReadOnly(st)) return false;
        // A file that cannot be read must not be replaced by one made without it.
        if (bytes.read(target) != ReadOutcome::Read) return false;
    } else if (errno != ENOENT) {
        return false;
    }
    const std::string_view content = bytes.view();
    const std::optional<std::string> updated = iniUpdate(content, section, key, value);
    if (!updated) return false;
    if (exists && *updated == content) return true;
    return replaceFile(target, exists ? &st : nullptr, *updated);
}

}  // namespace chengfan::store
