#pragma once
// The download's HTTP exchange over the Win32 Internet functions, with the
// system's proxy configuration.

#include "platform/win32/win32.h"

#include <chrono>
#include <string>

#include "acquire/http_client.h"

// Owns one Internet handle (session, connection or request).
class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() { Close(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Close() {
        if (handle_) {
            InternetCloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HINTERNET handle_ = nullptr;
};

struct WinInetLimits {
    DWORD connectTimeoutMs = kConnectTimeoutSeconds * 1000;
    // The whole exchange, from opening the connection to the last body byte.
    DWORD transferTimeoutMs = kTransferTimeoutSeconds * 1000;
    std::size_t maxBodyBytes = kMaxBodyBytes;
};

class WinInetHttpClient : public HttpClient {
public:
    explicit WinInetHttpClient(WinInetLimits limits = {});

    // GET with HTTP/1.0 and user agent "Vemo". Never served from the cache.
    int Get(const std::string& host, int port, const std::string& path, std::string& body) override;

private:
    using Clock = std::chrono::steady_clock;
    // Milliseconds left before the deadline; throws once it has passed.
    DWORD Remaining(Clock::time_point deadline) const;

    WinInetLimits limits_;
};
