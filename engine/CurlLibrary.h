#pragma once

#include <curl/curl.h>

#include <string>

namespace chengfan::engine {

// libcurl's entry points, taken from the library once the program first goes to
// the network rather than at start. Linked in, libcurl and the TLS, Kerberos and
// LDAP libraries it pulls along would be loaded and initialised by every start,
// costing each idle window several MiB and milliseconds for nothing until the
// user presses Start.
struct CurlLibrary {
    decltype(&::curl_global_init) globalInit;
    decltype(&::curl_easy_init) easyInit;
    decltype(&::curl_easy_setopt) easySetopt;
    decltype(&::curl_easy_getinfo) easyGetinfo;
    decltype(&::curl_easy_perform) easyPerform;
    decltype(&::curl_easy_cleanup) easyCleanup;
    decltype(&::curl_slist_append) slistAppend;
    decltype(&::curl_slist_free_all) slistFreeAll;
    decltype(&::curl_url) url;
    decltype(&::curl_url_set) urlSet;
    decltype(&::curl_url_get) urlGet;
    decltype(&::curl_url_cleanup) urlCleanup;
    decltype(&::curl_free) freeString;
    decltype(&::curl_strequal) strequal;
};

// Loads the named libcurl and takes its entry points (without initialising it);
// false with the reason in error when it cannot be loaded or lacks one.
bool loadCurlLibrary(const char* name, CurlLibrary& library, std::string& error);

// The library, loaded and initialised on the first call and kept for the rest
// of the process; nullptr when it cannot be loaded, in which case every call
// gives nullptr and curlLibraryError() says why (the reason also goes to
// stderr once). Safe to call from any thread.
const CurlLibrary* curlLibrary();
const std::string& curlLibraryError();

}  // namespace chengfan::engine
