#pragma once
// The HTTP exchange the download needs, whatever library carries it out.

#include <stdexcept>
#include <string>

// Any transport failure: connect, send, read, a time limit or the size cap.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Limits every client enforces, so that a stalled or hostile server cannot
// hang or exhaust the saver before any window exists.
inline constexpr long kConnectTimeoutSeconds = 10;
inline constexpr long kTransferTimeoutSeconds = 20;
inline constexpr std::size_t kMaxBodyBytes = 32u * 1024u * 1024u;

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Sends "GET path HTTP/1.0" with user agent "Vemo" to host:port and returns
    // the status code. With status 200 `body` receives the complete body, as
    // raw bytes; otherwise it is left empty and the body is not read.
    // Throws HttpError on any failure.
    virtual int Get(const std::string& host, int port, const std::string& path, std::string& body) = 0;
};
