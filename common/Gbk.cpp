#include "common/Gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace chengfan::common {

namespace {

// glibc's "GBK" table is code page 936 as the program knows it: 0x80 is the
// euro sign there too, and 0xFF is not a character.
constexpr const char* kGbk = "GBK";
constexpr const char* kUtf8 = "UTF-8";
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// One conversion descriptor for the length of one call. Opening it is cheap once
// glibc has loaded the module, and a call-local descriptor needs no locking.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    enum class Stop { Done, Invalid, Incomplete, Irreversible };

    // Converts as much of the input as it can, appending to out. On Invalid or
    // Incomplete, input points at the offending bytes.
    Stop run(std::string_view& input, std::string& out) {
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        Stop stop = Stop::Done;
        char buffer[1024];
        while (true) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(cd_, inLeft != 0 ? &in : nullptr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (result != static_cast<std::size_t>(-1)) {
                if (result != 0) {
                    stop = Stop::Irreversible;
                }
                if (inLeft == 0) {
                    break;
                }
                continue;
            }
            if (error == E2BIG) {
                continue;
            }
            stop = error == EINVAL ? Stop::Incomplete : Stop::Invalid;
            break;
        }
        input = std::string_view(in, inLeft);
        return stop;
    }

    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    std::string utf8;
    utf8.reserve(gbk.size() + gbk.size() / 2);
    Converter converter(kUtf8, kGbk);
    if (!converter.ok()) {
        // Without the converter ASCII is still ASCII; every other byte is marked.
        for (char c : gbk) {
            if (static_cast<unsigned char>(c) < 0x80) {
                utf8.push_back(c);
            } else {
                utf8 += kReplacement;
            }
        }
        return utf8;
    }
    std::string_view rest = gbk;
    while (true) {
        const auto stop = converter.run(rest, utf8);
        if (stop == Converter::Stop::Done || stop == Converter::Stop::Irreversible) {
            break;
        }
        // One replacement per byte that cannot start a character; the next byte
        // may well start a valid one (a bad trail byte is often plain ASCII).
        utf8 += kReplacement;
        rest.remove_prefix(1);
        converter.reset();
        if (rest.empty()) {
            break;
        }
    }
    return utf8;
}

std::optional<std::string> gbkToUtf8Exact(std::string_view gbk) {
    Converter converter(kUtf8, kGbk);
    if (!converter.ok()) {
        if (isAscii(gbk)) {
            return std::string(gbk);
        }
        return std::nullopt;
    }
    std::string utf8;
    utf8.reserve(gbk.size() + gbk.size() / 2);
    std::string_view rest = gbk;
    if (converter.run(rest, utf8) != Converter::Stop::Done) {
        return std::nullopt;
    }
    return utf8;
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    // A text ends at its first zero byte, so a NUL inside would silently cut it.
    if (utf8.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    Converter converter(kGbk, kUtf8);
    if (!converter.ok()) {
        if (isAscii(utf8)) {
            return std::string(utf8);
        }
        return std::nullopt;
    }
    std::string gbk;
    gbk.reserve(utf8.size());
    std::string_view rest = utf8;
    // An irreversible conversion would store a look-alike, not the typed character.
    if (converter.run(rest, gbk) != Converter::Stop::Done) {
        return std::nullopt;
    }
    return gbk;
}

}  // namespace chengfan::common
