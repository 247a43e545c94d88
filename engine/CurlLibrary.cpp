#include "engine/CurlLibrary.h"

#include <dlfcn.h>

#include <cstdio>

namespace chengfan::engine {

namespace {

// The ABI the program is built against; every libcurl since 7.16 carries it.
constexpr char kLibraryName[] = "libcurl.so.4";

struct Loaded {
    CurlLibrary library{};
    bool ok = false;
    std::string error;
};

template <typename Function>
bool resolve(void* handle, const char* name, Function& function, std::string& error) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        error = std::string(kLibraryName) + " has no " + name;
        return false;
    }
    function = reinterpret_cast<Function>(symbol);
    return true;
}

Loaded load() {
    Loaded loaded;
    // Never unloaded: its TLS libraries cannot be unloaded safely anyway.
    void* handle = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        loaded.error = reason != nullptr ? reason : kLibraryName;
    } else {
        CurlLibrary& curl = loaded.library;
        loaded.ok = resolve(handle, "curl_global_init", curl.globalInit, loaded.error) &&
                    resolve(handle, "curl_easy_init", curl.easyInit, loaded.error) &&
                    resolve(handle, "curl_easy_setopt", curl.easySetopt, loaded.error) &&
                    resolve(handle, "curl_easy_getinfo", curl.easyGetinfo, loaded.error) &&
                    resolve(handle, "curl_easy_perform", curl.easyPerform, loaded.error) &&
                    resolve(handle, "curl_easy_cleanup", curl.easyCleanup, loaded.error) &&
                    resolve(handle, "curl_slist_append", curl.slistAppend, loaded.error) &&
                    resolve(handle, "curl_slist_free_all", curl.slistFreeAll, loaded.error) &&
                    resolve(handle, "curl_url", curl.url, loaded.error) &&
                    resolve(handle, "curl_url_set", curl.urlSet, loaded.error) &&
                    resolve(handle, "curl_url_get", curl.urlGet, loaded.error) &&
                    resolve(handle, "curl_url_cleanup", curl.urlCleanup, loaded.error) &&
                    resolve(handle, "curl_free", curl.freeString, loaded.error) &&
                    resolve(handle, "curl_strequal", curl.strequal, loaded.error);
        if (loaded.ok && curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            loaded.ok = false;
            loaded.error = std::string(kLibraryName) + " failed to initialise";
        }
    }
    if (!loaded.ok) {
        std::fprintf(stderr, "chengfan: no downloads are possible: %s\n", loaded.error.c_str());
    }
    return loaded;
}

const Loaded& loaded() {
    static const Loaded library = load();
    return library;
}

}  // namespace

const CurlLibrary* curlLibrary() {
    const Loaded& library = loaded();
    return library.ok ? &library.library : nullptr;
}

const std::string& curlLibraryError() { return loaded().error; }

}  // namespace chengfan::engine
