#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace chengfan::store {

// An INI reader and writer over GBK bytes, following the conventions of the
// Windows profile functions: CRLF, LF or CR line ends; section and key names
// matched without regard to ASCII letter case; blanks around names and values
// ignored; one outer pair of matching quotes removed from a value; comment lines
// (first non-blank ';'), lines without '=' and lines before the first section
// ignored; the first of two equal sections or keys wins. Blanks are space and tab.
// A header's name is what stands between its '[' and its last ']'. Letter case
// folds for single-byte ASCII letters only, never for the second byte of a GBK
// character. Bytes are never passed through <cctype>, whose answers depend on the
// locale and would alter GBK.

// The value of section/key in the given file content, or nullopt when absent.
std::optional<std::string> iniLookup(std::string_view content, std::string_view section,
                                     std::string_view key);

// The content with section/key set to value: an existing value is replaced where
// it stands, a new key goes at the end of its section, a new section at the end
// of the file; new lines end in CRLF. Every other line stays byte for byte. A
// value that the reading rules would alter (blanks at an end, an outer pair of
// matching quotes) is written inside one more pair of double quotes, so it reads
// back exactly. nullopt when the section, key or value cannot be stored: a line
// break in any of them, a zero byte in a name, an empty section or key, or a key
// that would read as a comment (';'), a header ('[') or a shorter key ('=').
std::optional<std::string> iniUpdate(std::string_view content, std::string_view section,
                                     std::string_view key, std::string_view value);

// File-level reads and writes. A read of a missing file gives nullopt. A write
// replaces the file atomically (a temporary file in the same directory renamed
// over it), so a crash or a full disk leaves the old file or the new one whole;
// it returns false when the file could not be written or is read-only (no write
// bit: refused as on Windows, although a rename could replace it). A symbolic
// link is followed, and the replacement keeps the old file's permission bits.
std::optional<std::string> readIniValue(const std::string& path, std::string_view section,
                                        std::string_view key);
bool writeIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace chengfan::store
