#include "engine/PageFetch.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string_view>

#include "common/Gbk.h"
#include "engine/CurlLibrary.h"

namespace chengfan::engine {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr long kMaxRedirects = 10;
// No single read may exceed 102,400 bytes; the largest allowed read is also the
// fastest on loopback and on real links alike.
constexpr long kReadBufferSize = 102400;

// Handles exist only once the library has loaded, so their clean-ups may take
// it for granted.
const CurlLibrary& loadedCurl() { return *curlLibrary(); }

// A time limit as libcurl takes it; at least 1 ms, since 0 means its own default
// of five minutes.
long boundInMilliseconds(std::chrono::milliseconds limit) {
    return static_cast<long>(std::max<std::chrono::milliseconds::rep>(1, limit.count()));
}

struct EasyCleanup {
    void operator()(CURL* handle) const { loadedCurl().easyCleanup(handle); }
};
struct UrlCleanup {
    void operator()(CURLU* url) const { loadedCurl().urlCleanup(url); }
};
struct ListCleanup {
    void operator()(curl_slist* list) const { loadedCurl().slistFreeAll(list); }
};
struct CurlStringCleanup {
    void operator()(char* text) const { loadedCurl().freeString(text); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;
using CurlString = std::unique_ptr<char, CurlStringCleanup>;

// The URL's bytes go out unchanged, as the desktop platform sends them: a space
// and every GBK character become %XX escapes of their own byte values (both
// bytes of a character, even a second byte that looks like ASCII, such as the
// backslash of 0x90 0x5C), as does any other byte of 0x80 and above; existing
// escapes and every other byte stay as they are.
std::string escapeUrlBytes(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(url.size());
    const auto escape = [&](unsigned char byte) {
        escaped += '%';
        escaped += kHex[byte >> 4];
        escaped += kHex[byte & 0x0F];
    };
    for (std::size_t i = 0; i < url.size(); ++i) {
        const auto byte = static_cast<unsigned char>(url[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < url.size()) {
            const auto trail = static_cast<unsigned char>(url[i + 1]);
            if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
                escape(byte);
                escape(trail);
                ++i;
                continue;
            }
        }
        if (byte == 0x20 || byte >= 0x80) {
            escape(byte);
        } else {
            escaped += static_cast<char>(byte);
        }
    }
    return escaped;
}

// The parsed URL when it is an http or https address, dot segments resolved;
// nullptr for anything else. A URL without a scheme is refused here rather than
// guessed as http, so it never reaches the network.
UrlHandle parseWebUrl(const common::Text& url, bool& secure) {
    const CurlLibrary* curl = curlLibrary();
    if (url.empty() || curl == nullptr) return nullptr;
    UrlHandle parsed(curl->url());
    if (!parsed) return nullptr;
    const std::string escaped = escapeUrlBytes(url);
    if (curl->urlSet(parsed.get(), CURLUPART_URL, escaped.c_str(), 0) != CURLUE_OK) return nullptr;
    char* rawScheme = nullptr;
    if (curl->urlGet(parsed.get(), CURLUPART_SCHEME, &rawScheme, 0) != CURLUE_OK) return nullptr;
    const CurlString scheme(rawScheme);
    const std::string_view name(scheme.get());
    if (name == "https") {
        secure = true;
    } else if (name == "http") {
        secure = false;
    } else {
        return nullptr;
    }
    return parsed;
}

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Where the body of the final response goes, piece by piece. False stops the
// download.
class BodySink {
public:
    virtual ~BodySink() = default;
    virtual bool accept(const char* data, std::size_t size) = 0;
};

enum class TransferEnd {
    Complete,  // the whole body arrived
    Failed,    // broke off or never started; the sink holds what came
    Refused,   // redirect chain too long, or one leading from https to http
};

struct Transfer {
    const CurlLibrary* curl = nullptr;
    CURL* handle = nullptr;
    BodySink* sink = nullptr;
    std::chrono::milliseconds stallTimeout{};
    // While a connection is being made the connect limit applies; afterwards no
    // more than stallTimeout may pass without a byte.
    bool connecting = true;
    Clock::time_point lastActivity = Clock::now();
    bool securedSoFar = false;
    bool downgraded = false;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    transfer.lastActivity = Clock::now();
    const std::size_t length = size * count;
    try {
        return transfer.sink->accept(data, length) ? length : 0;
    } catch (...) {
        // Out of memory for a body gathered in memory: the read ends here, and
        // no exception may unwind through libcurl.
        return 0;
    }
}

std::size_t onHeader(char*, std::size_t size, std::size_t count, void* context) {
    static_cast<Transfer*>(context)->lastActivity = Clock::now();
    return size * count;
}

int onSocket(void* context, curl_socket_t, curlsocktype) {
    static_cast<Transfer*>(context)->connecting = true;
    return CURL_SOCKOPT_OK;
}

// Runs once the connection for a request (the first or a redirect's) stands and
// before the request is sent: the place to refuse a step down from https.
int onConnected(void* context, char*, char*, int, int) {
    auto& transfer = *static_cast<Transfer*>(context);
    transfer.connecting = false;
    transfer.lastActivity = Clock::now();
    char* scheme = nullptr;
    transfer.curl->easyGetinfo(transfer.handle, CURLINFO_SCHEME, &scheme);
    const bool secure = scheme != nullptr && transfer.curl->strequal(scheme, "https");
    if (secure) {
        transfer.securedSoFar = true;
    } else if (transfer.securedSoFar) {
        transfer.downgraded = true;
        return CURL_PREREQFUNC_ABORT;
    }
    return CURL_PREREQFUNC_OK;
}

int onProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& transfer = *static_cast<Transfer*>(context);
    if (transfer.connecting) return 0;
    return Clock::now() - transfer.lastActivity > transfer.stallTimeout ? 1 : 0;
}

TransferEnd runGet(UrlHandle url, bool secure, const FetchLimits& limits, BodySink& sink) {
    // A parsed URL means the library is there.
    const CurlLibrary& curl = loadedCurl();
    const EasyHandle easy(curl.easyInit());
    if (!easy) return TransferEnd::Failed;
    CURL* handle = easy.get();

    Transfer transfer;
    transfer.curl = &curl;
    transfer.handle = handle;
    transfer.sink = &sink;
    transfer.stallTimeout = limits.stallTimeout;

    // curl's own "Accept: */*" is replaced by ours, so nothing depends on its
    // default; a plain proxy is not asked to keep the connection alive either.
    const HeaderList headers(curl.slistAppend(nullptr, "Accept: */*"));
    if (!headers || curl.slistAppend(headers.get(), "Proxy-Connection:") == nullptr) {
        return TransferEnd::Failed;
    }

    curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl.easySetopt(handle, CURLOPT_CURLU, url.get());
    curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl.easySetopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl.easySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl.easySetopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl.easySetopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl.easySetopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl.easySetopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl.easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS, boundInMilliseconds(limits.connectTimeout));
    curl.easySetopt(handle, CURLOPT_BUFFERSIZE, kReadBufferSize);
    curl.easySetopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.easySetopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl.easySetopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl.easySetopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl.easySetopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl.easySetopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl.easySetopt(handle, CURLOPT_SOCKOPTFUNCTION, onSocket);
    curl.easySetopt(handle, CURLOPT_SOCKOPTDATA, &transfer);
    curl.easySetopt(handle, CURLOPT_PREREQFUNCTION, onConnected);
    curl.easySetopt(handle, CURLOPT_PREREQDATA, &transfer);
    curl.easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl.easySetopt(handle, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl.easySetopt(handle, CURLOPT_XFERINFODATA, &transfer);

    if (!limits.extraCaFile.empty()) {
        // The system's roots plus the extra one, so adding a root never drops any.
        std::string bundle;
        char* systemRoots = nullptr;
        curl.easyGetinfo(handle, CURLINFO_CAINFO, &systemRoots);
        if (systemRoots != nullptr) readWholeFile(systemRoots, bundle);
        bundle += '\n';
        if (!readWholeFile(limits.extraCaFile, bundle)) return TransferEnd::Failed;
        curl_blob blob{bundle.data(), bundle.size(), CURL_BLOB_COPY};
        curl.easySetopt(handle, CURLOPT_CAINFO_BLOB, &blob);
    }

    const CURLcode result = curl.easyPerform(handle);
    if (result == CURLE_OK) return TransferEnd::Complete;
    if (transfer.downgraded || result == CURLE_TOO_MANY_REDIRECTS ||
        result == CURLE_UNSUPPORTED_PROTOCOL) {
        return TransferEnd::Refused;
    }
    return TransferEnd::Failed;
}

class MemorySink final : public BodySink {
public:
    bool accept(const char* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    common::Bytes bytes;
};

// Replaces one file with new content without ever showing a half-written file
// at its path: the content goes to a fresh file in the same directory, which
// is renamed over the path only once all of it is there. A path that is a
// symbolic link is replaced at its target; an existing file keeps its
// permission bits. Devices and pipes are written in place, since renaming over
// them would replace the node itself.
class FileReplacement {
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    ~FileReplacement() {
        if (fd_ >= 0) ::close(fd_);
        if (!temporary_.empty()) ::unlink(temporary_.c_str());
    }

    bool open(const std::string& path) {
        if (path.empty() || path.back() == '/') return false;
        if (!resolveLinks(path)) return false;

        struct stat existing {};
        if (::stat(target_.c_str(), &existing) == 0) {
            if (S_ISDIR(existing.st_mode)) return false;
            if (!S_ISREG(existing.st_mode)) return openInPlace();
            // A read-only file stays as it is: the rename would replace it, and
            // root passes every permission check.
            if ((existing.st_mode & 0222) == 0) return false;
            if (::geteuid() != 0 && ::access(target_.c_str(), W_OK) != 0) return false;
            if (!createTemporary(existing.st_mode & 07777)) return false;
            ::fchmod(fd_, existing.st_mode & 07777);
            if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
                // Only root may give a file away; the mode is what matters here.
            }
            return true;
        }
        if (errno != ENOENT) return false;
        return createTemporary(0666);
    }

    bool write(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (written == 0) return false;
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    // Closes the new content and puts it in place. False leaves the old file.
    bool commit() {
        if (unnamed_ && !nameUnnamed()) return false;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return false;
        if (temporary_.empty()) return true;
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
        temporary_.clear();
        return true;
    }

private:
    bool resolveLinks(const std::string& path) {
        target_ = path;
        for (int depth = 0; depth < 40; ++depth) {
            struct stat link {};
            if (::lstat(target_.c_str(), &link) != 0) return errno == ENOENT;
            if (!S_ISLNK(link.st_mode)) return true;
            std::string destination(static_cast<std::size_t>(link.st_size) + 256, '\0');
            const ssize_t length = ::readlink(target_.c_str(), destination.data(), destination.size());
            if (length <= 0 || static_cast<std::size_t>(length) >= destination.size()) return false;
            destination.resize(static_cast<std::size_t>(length));
            if (destination.front() == '/') {
                target_ = destination;
            } else {
                const auto slash = target_.rfind('/');
                target_ = slash == std::string::npos ? destination
                                                     : target_.substr(0, slash + 1) + destination;
            }
        }
        return false;
    }

    bool openInPlace() {
        // Non-blocking open, so a pipe without a reader fails instead of hanging.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return false;
        const int flags = ::fcntl(fd_, F_GETFL);
        if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        return true;
    }

    bool createTemporary(mode_t mode) {
        const auto slash = target_.rfind('/');
        directory_ = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
        // First a file without a name: a download killed part-way then leaves
        // nothing beside the page, where a named file would stay behind as a
        // cut-off copy, one more for every interrupted run. It is named only once
        // complete, just before it replaces the page.
        fd_ = ::open(directory_.empty() ? "." : directory_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            unnamed_ = true;
            return true;
        }
        // File systems without unnamed files get a named one from the start.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = temporaryName();
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd_ >= 0) {
                temporary_ = std::move(candidate);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    std::string temporaryName() const {
        static std::mt19937_64 random{std::random_device{}()};
        char name[48];
        std::snprintf(name, sizeof name, ".chengfan-%016llx.part", static_cast<unsigned long long>(random()));
        return directory_ + name;
    }

    // Gives the complete unnamed file a temporary name beside the page.
    bool nameUnnamed() {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = temporaryName();
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                ::linkat(fd_, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0) {
                temporary_ = std::move(candidate);
                unnamed_ = false;
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    std::string target_;
    std::string directory_;  // of target_, with its trailing slash; empty for the working directory
    std::string temporary_;
    bool unnamed_ = false;
    int fd_ = -1;
};

class FileSink final : public BodySink {
public:
    explicit FileSink(FileReplacement& file) : file_(file) {}
    bool accept(const char* data, std::size_t size) override { return file_.write(data, size); }

private:
    FileReplacement& file_;
};

}  // namespace

common::Bytes fetchUrl(const common::Text& url, const FetchLimits& limits) {
    bool secure = false;
    UrlHandle parsed = parseWebUrl(url, secure);
    if (!parsed) return {};
    MemorySink sink;
    if (runGet(std::move(parsed), secure, limits, sink) == TransferEnd::Refused) return {};
    // A read that broke off part-way still gives the bytes received until then.
    return std::move(sink.bytes);
}

bool writeBytesToFile(const common::Text& path, const common::Bytes& content) {
    if (path.empty()) return false;
    const auto fileName = common::gbkToUtf8Exact(path);
    if (!fileName) return false;
    FileReplacement file;
    if (!file.open(*fileName)) return false;
    if (!file.write(reinterpret_cast<const char*>(content.data()), content.size())) return false;
    return file.commit();
}

bool fetchAndSave(const common::Text& url, const common::Text& savePath, const FetchLimits& limits) {
    bool secure = false;
    UrlHandle parsed = parseWebUrl(url, secure);
    if (!parsed || savePath.empty()) return false;
    const auto fileName = common::gbkToUtf8Exact(savePath);
    if (!fileName) return false;
    // The body streams into the new file as it arrives, so a page of any size
    // costs no more memory than one read; the save path itself changes only
    // after the download has ended, and only when it ended complete.
    FileReplacement file;
    if (!file.open(*fileName)) return false;
    FileSink sink(file);
    if (runGet(std::move(parsed), secure, limits, sink) != TransferEnd::Complete) return false;
    return file.commit();
}

bool probeConnection(const std::string& url, std::chrono::milliseconds timeout) {
    const CurlLibrary* curl = curlLibrary();
    if (curl == nullptr) return false;
    const EasyHandle easy(curl->easyInit());
    if (!easy) return false;
    CURL* handle = easy.get();
    curl->easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl->easySetopt(handle, CURLOPT_URL, url.c_str());
    curl->easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl->easySetopt(handle, CURLOPT_CONNECT_ONLY, 1L);
    // Covers the name look-up as well as the connection itself.
    curl->easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS, boundInMilliseconds(timeout));
    curl->easySetopt(handle, CURLOPT_TIMEOUT_MS, boundInMilliseconds(timeout));
    return curl->easyPerform(handle) == CURLE_OK;
}

}  // namespace chengfan::engine
