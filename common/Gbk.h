#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace chengfan::common {

// GBK (code page 936) <-> UTF-8, over iconv. Used once at the window boundary
// and for file names; the core itself keeps GBK bytes.

// Every byte sequence converts: a byte that is not valid GBK becomes U+FFFD, so
// nothing crashes and nothing disappears without a trace.
std::string gbkToUtf8(std::string_view gbk);

// Lossless only: nullopt when the bytes are not entirely valid GBK. For file
// names, where a substituted character would name another file.
std::optional<std::string> gbkToUtf8Exact(std::string_view gbk);

// nullopt when the text holds a character that GBK cannot hold (an emoji, say)
// or is not valid UTF-8: the caller refuses it rather than store question marks.
std::optional<std::string> utf8ToGbk(std::string_view utf8);

}  // namespace chengfan::common
