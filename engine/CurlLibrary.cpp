#include "engine/CurlLibrary.h"

#include <dlfcn.h>

#include <cstdio>

#include "engine/BuildSettings.h"

namespace chengfan::engine {

namespace {

struct Loaded {
    CurlLibrary library{};
    bool ok = false;
    std::string error;
};

template <typename Function>
bool resolve(void* handle, const char* library, const char* name, Function& function,
             std::string& error) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        error = std::string(library) + " has no " + name;
        return false;
    }
    function = reinterpret_cast<Function>(symbol);
    return true;
}

Loaded load() {
    Loaded loaded;
    loaded.ok = loadCurlLibrary(kCurlLibraryName, loaded.library, loaded.error);
    if (loaded.ok && loaded.library.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        loaded.ok = false;
        loaded.error = std::string(kCurlLibraryName) + " failed to initialise";
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

bool loadCurlLibrary(const char* name, CurlLibrary& curl, std::string& error) {
    // Never unloaded: its TLS libraries cannot be unloaded safely anyway.
    void* handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : name;
        return false;
    }
    return resolve(handle, name, "curl_global_init", curl.globalInit, error) &&
           resolve(handle, name, "curl_easy_init", curl.easyInit, error) &&
           resolve(handle, name, "curl_easy_setopt", curl.easySetopt, error) &&
           resolve(handle, name, "curl_easy_getinfo", curl.easyGetinfo, error) &&
           resolve(handle, name, "curl_easy_perform", curl.easyPerform, error) &&
           resolve(handle, name, "curl_easy_cleanup", curl.easyCleanup, error) &&
           resolve(handle, name, "curl_slist_append", curl.slistAppend, error) &&
           resolve(handle, name, "curl_slist_free_all", curl.slistFreeAll, error) &&
           resolve(handle, name, "curl_url", curl.url, error) &&
           resolve(handle, name, "curl_url_set", curl.urlSet, error) &&
           resolve(handle, name, "curl_url_get", curl.urlGet, error) &&
           resolve(handle, name, "curl_url_cleanup", curl.urlCleanup, error) &&
           resolve(handle, name, "curl_free", curl.freeString, error) &&
           resolve(handle, name, "curl_strequal", curl.strequal, error);
}

const CurlLibrary* curlLibrary() {
    const Loaded& library = loaded();
    return library.ok ? &library.library : nullptr;
}

const std::string& curlLibraryError() { return loaded().error; }

}  // namespace chengfan::engine
