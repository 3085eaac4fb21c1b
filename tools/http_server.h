#pragma once
// The HTTP side of `scorvane serve`: libmicrohttpd parses and answers on a
// few threads of its own, each waiting on many connections with epoll; we
// accept, so that a connection past the limit still gets its "busy" answer,
// and every connection has a deadline however slowly its client sends.

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct MHD_Response;

struct HttpRequest {
    std::string method;
    std::string target;   // as sent
    std::string path;     // the target without scheme and host when absolute
    std::string version;  // "HTTP/1.0"
    bool hasUserAgent = false;
    std::string userAgent;
    std::string ifNoneMatch;      // "" when not sent
    std::string ifModifiedSince;  // "" when not sent
};

class PreparedResponse;

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=iso-8859-1";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // beyond type and length
    // An answer made beforehand: when set, it is sent as it is and the
    // fields above are not looked at.
    std::shared_ptr<const PreparedResponse> prepared;
};

// An answer made once and sent to any number of requests, on any thread at
// once: the body is copied into the library's response when it is made and
// never again, so that a page costs the same whatever its size.
class PreparedResponse {
public:
    // Throws std::bad_alloc when the library cannot make it.
    static std::shared_ptr<const PreparedResponse> Make(const HttpResponse& response);
    ~PreparedResponse();
    PreparedResponse(const PreparedResponse&) = delete;
    PreparedResponse& operator=(const PreparedResponse&) = delete;

    int Status() const { return status_; }
    MHD_Response* Native() const { return native_; }

private:
    PreparedResponse(int status, MHD_Response* native) : status_(status), native_(native) {}
    int status_;
    MHD_Response* native_;
};

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    using Log = std::function<void(const std::string&)>;

    // Connections served at once; the ones beyond are answered 503.
    explicit HttpServer(int maxConnections = kDefaultMaxConnections) : maxConnections_(maxConnections) {}
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and listens, and raises the process's limit of open files to
    // what the connections need; port 0 lets the system choose. False with
    // `error`, also when the limit cannot be raised far enough.
    bool Listen(const std::string& address, int port, std::string& error);
    // "127.0.0.1:8080", "[::1]:8080".
    std::string BoundAddress() const;
    int Port() const { return port_; }

    // Serves until `stopFd` becomes readable, then ends the connections and
    // returns. The handler is called on the library's threads, several at
    // once. Each answered request is reported to `log`. False with `error`
    // when the HTTP library does not start.
    bool Serve(const Handler& handler, int stopFd, const Log& log, std::string& error);

    // Limits of one connection: the request head, and the time from accept,
    // and again from each answer sent, to the next answer sent.
    static constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
    static constexpr int kConnectionSeconds = 10;
    // A site on a local network: its savers, which ask once and close, and
    // a few browsers, which keep a connection or six each between pages.
    static constexpr int kDefaultMaxConnections = 64;
    static constexpr int kMaxMaxConnections = 4096;

private:
    std::size_t MaxConnections() const {
        return static_cast<std::size_t>(maxConnections_ < 1 ? 1 : std::min(maxConnections_, kMaxMaxConnections));
    }

    int maxConnections_;
    int listenFd_ = -1;
    int port_ = 0;
    std::string host_;
};

// The reason phrase of a status code.
const char* HttpReason(int status);

// RFC 7231 date of a time: "Sun, 06 Nov 1994 08:49:37 GMT"; ParseHttpDate
// reads it back, -1 for anything else.
std::string HttpDate(std::time_t t);
std::time_t ParseHttpDate(const std::string& text);
