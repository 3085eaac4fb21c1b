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

// A whole file by URL (http or https, the system's trust store), asked for
// only when it changed since the copy the caller holds.
struct FileRequest {
    std::string url;
    std::string ifNoneMatch;      // the held copy's ETag, or ""
    std::string ifModifiedSince;  // the held copy's Last-Modified, or ""
    long timeoutMs = kTransferTimeoutSeconds * 1000;  // the whole exchange
    std::size_t maxBodyBytes = kMaxBodyBytes;
};

struct FileResponse {
    int status = 0;
    std::string body;  // with 200 only
    std::string etag;
    std::string lastModified;
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // GET of `request.url` with user agent "Vemo", redirects followed (a
    // file host moves files), the validators sent when given. A body over
    // the cap or a transfer over the time is an error. Throws HttpError on
    // any failure; a client made for pages alone throws it always.
    virtual FileResponse GetFile(const FileRequest& request) {
        throw HttpError("this client cannot fetch " + request.url);
    }
    // Sends "GET path HTTP/1.0" with user agent "Vemo" to host:port and returns
    // the status code. With status 200 `body` receives the complete body, as
    // raw bytes; otherwise it is left empty and the body is not read.
    // Throws HttpError on any failure.
    virtual int Get(const std::string& host, int port, const std::string& path, std::string& body) = 0;
};
