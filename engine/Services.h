#pragma once

#include "common/Text.h"

namespace chengfan::engine {

// The platform services the engine calls. They are passed in, never reached for,
// so a test sees every call.

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows the GBK text in a modal box titled "温馨提示" with one OK button and
    // returns when the user has closed it. Events, timer ticks included, are
    // delivered while it waits.
    virtual void showMessage(const common::Text& text) = 0;
};

class NetworkService {
public:
    virtual ~NetworkService() = default;
    // True when a connection to the probe address can be made now.
    virtual bool checkConnection() = 0;
    // The body of an HTTP GET; empty on every failure.
    virtual common::Bytes fetchUrl(const common::Text& url) = 0;
    // Downloads url and writes the body to savePath.
    virtual void fetchAndSave(const common::Text& url, const common::Text& savePath) = 0;
};

class BrowserService {
public:
    virtual ~BrowserService() = default;
    // Hands a web address to the desktop's default handler.
    virtual void openInBrowser(const common::Text& url) = 0;
};

class ProgramService {
public:
    virtual ~ProgramService() = default;
    // Ends the program at once with the exit code; the real one never returns.
    virtual void endProgram(int exitCode) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual common::DateTime now() = 0;
};

struct Services {
    MessageService& messages;
    NetworkService& network;
    BrowserService& browser;
    ProgramService& program;
    Clock& clock;
};

}  // namespace chengfan::engine
