// Random INI files built from the pieces that make reading hard (odd line ends,
// blanks, quotes, comments, headers without ']', GBK bytes that look like ASCII),
// checked against a plain line-by-line reading of the same rules, and updates
// checked to change exactly the one value they write.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "store/IniFile.h"

namespace chengfan::store {
namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool lead(char c) { return static_cast<unsigned char>(c) >= 0x81 && static_cast<unsigned char>(c) <= 0xFE; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool equalNames(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lead(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The reading rules, one line at a time, with nothing clever.
std::optional<std::string> referenceLookup(std::string_view content, std::string_view section,
                                           std::string_view key) {
    section = trim(section);
    key = trim(key);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r' || content[i] == '\n') {
            lines.push_back(content.substr(start, i - start));
            if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < content.size()) lines.push_back(content.substr(start));

    bool inSection = false;
    for (std::string_view line : lines) {
        while (!line.empty() && blank(line.front())) line.remove_prefix(1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            std::size_t close = std::string_view::npos;
            for (std::size_t i = 1; i < line.size(); ++i) {
                if (lead(line[i]) && i + 1 < line.size()) {
                    ++i;
                } else if (line[i] == ']') {
                    close = i;
                }
            }
            if (close != std::string_view::npos) {
                if (inSection) return std::nullopt;
                inSection = equalNames(trim(line.substr(1, close - 1)), section);
                continue;
            }
        }
        if (!inSection) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || !equalNames(trim(line.substr(0, eq)), key)) continue;
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

class Generator {
public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    std::size_t below(std::size_t n) { return random_() % n; }

    template <std::size_t N>
    const char* pick(const char* const (&items)[N]) {
        return items[below(N)];
    }

    std::string content() {
        static const char* const sections[] = {"s", "S", " s ", "t", "\xB1\x5D", "\xB1\x7D", "ab", "AB"};
        static const char* const keys[] = {"1", "12", "2", " 12 ", "a", "A", "\xB1\x41", "\xB1\x61",
                                           "\xB1\x31", "112", "[1", "", "k"};
        static const char* const values[] = {"v", "", " v ", "\"q\"", "'q'", "\"q", "12=3", "[s]", "1", "\xB1\x5D"};
        static const char* const others[] = {"; comment", " ;1=x", "no equals", "[s", "  [t", "\xB1\x5D=y",
                                             "x [s]", "12", "\t"};
        static const char* const ends[] = {"\r\n", "\n", "\r", "\r\n", "\r\n"};
        std::string out;
        const std::size_t lines = 1 + below(14);
        for (std::size_t i = 0; i < lines; ++i) {
            const std::size_t kind = below(10);
            if (kind < 3) {
                out += std::string(below(2) ? " " : "") + "[" + pick(sections) + "]" + (below(4) ? "" : " ;x");
            } else if (kind < 8) {
                out += std::string(pick(keys)) + (below(3) ? "=" : " \t= ") + pick(values);
            } else {
                out += pick(others);
            }
            if (i + 1 < lines || below(3) != 0) out += pick(ends);
        }
        return out;
    }

    std::string storableValue() {
        static const char* const pieces[] = {"v", " ", "\t", "\"", "'", "=", ";", "[", "]", "\xB1\x5D", "1", "\xCA\xB1"};
        std::string out;
        const std::size_t n = below(6);
        for (std::size_t i = 0; i < n; ++i) out += pick(pieces);
        return out;
    }

private:
    std::mt19937 random_;
};

const char* const kProbeSections[] = {"s", "S", "t", "\xB1\x5D", "\xB1\x7D", "ab", "x"};
const char* const kProbeKeys[] = {"1", "12", "2", "a", "A", "\xB1\x41", "\xB1\x61", "\xB1\x31", "112", "[1", "k", "9"};

TEST(IniProperties, LookupAgreesWithALineByLineReading) {
    Generator generate(20261211);
    for (int round = 0; round < 3000; ++round) {
        const std::string content = generate.content();
        for (const char* section : kProbeSections) {
            for (const char* key : kProbeKeys) {
                const std::optional<std::string> expected = referenceLookup(content, section, key);
                const std::optional<std::string> actual = iniLookup(content, section, key);
                if (actual != expected) {
                    ADD_FAILURE() << "content [" << content << "] section [" << section << "] key [" << key
                                  << "]: got " << actual.value_or("(none)") << ", expected "
                                  << expected.value_or("(none)");
                    return;
                }
            }
        }
    }
}

TEST(IniProperties, AnUpdateChangesExactlyTheValueItWrites) {
    Generator generate(7);
    const char* const writableKeys[] = {"1", "12", "a", "A", "\xB1\x41", "\xB1\x61", "112", "k", "9"};
    for (int round = 0; round < 3000; ++round) {
        const std::string content = generate.content();
        const char* section = kProbeSections[generate.below(std::size(kProbeSections))];
        const char* key = writableKeys[generate.below(std::size(writableKeys))];
        const std::string value = generate.storableValue();
        const std::optional<std::string> updated = iniUpdate(content, section, key, value);
        if (!updated) {
            ADD_FAILURE() << "refused [" << content << "] " << section << "/" << key;
            return;
        }
        bool ok = iniLookup(*updated, section, key) == value && referenceLookup(*updated, section, key) == value;
        for (const char* s : kProbeSections) {
            for (const char* k : kProbeKeys) {
                if (equalNames(s, section) && equalNames(k, key)) continue;
                ok = ok && iniLookup(*updated, s, k) == iniLookup(content, s, k);
            }
        }
        if (!ok) {
            ADD_FAILURE() << "content [" << content << "] section [" << section << "] key [" << key << "] value ["
                          << value << "] gave [" << *updated << "]";
            return;
        }
    }
}

}  // namespace
}  // namespace chengfan::store
