#pragma once
// The download's HTTP exchange over the Win32 Internet functions, with the
// system's proxy configuration.

#include "platform/win32/win32.h"

#include <string>

#include "acquire/http_client.h"

struct WinInetLimits {
    DWORD connectTimeoutMs = kConnectTimeoutSeconds * 1000;
    // The whole exchange, from opening the session to the last body byte,
    // whatever the server does.
    DWORD transferTimeoutMs = kTransferTimeoutSeconds * 1000;
    std::size_t maxBodyBytes = kMaxBodyBytes;
};

// At most this many redirects are followed for one file; a host that sends
// the client further (or round in circles) fails the download.
inline constexpr int kMaxFileRedirects = 5;

class WinInetHttpClient : public HttpClient {
public:
    explicit WinInetHttpClient(WinInetLimits limits = {});

    // HTTP/1.1, https with the system's certificate checks, never served
    // from WinINet's cache nor written to it. The request's time and size
    // limits hold together with this client's own: the smaller one counts.
    // A redirect from https to plain http is refused, since it would drop
    // the certificate check the address asked for.
    FileResponse GetFile(const FileRequest& request) override;

    // GET with HTTP/1.0 and user agent "Vemo". Never served from the cache,
    // never redirected: a 3xx comes back as its status.
    int Get(const std::string& host, int port, const std::string& path, std::string& body) override;

private:
    WinInetLimits limits_;
};
