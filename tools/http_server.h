#pragma once
// The HTTP side of `scorvane serve`: libmicrohttpd parses and answers, one
// thread per connection; we accept, so that a connection past the limit
// still gets its "busy" answer, and every connection has one deadline from
// accept to close however slowly its client sends.

#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

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

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=iso-8859-1";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // beyond type and length
};

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    using Log = std::function<void(const std::string&)>;

    HttpServer() = default;
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and listens; port 0 lets the system choose. False with `error`.
    bool Listen(const std::string& address, int port, std::string& error);
    // "127.0.0.1:8080", "[::1]:8080".
    std::string BoundAddress() const;
    int Port() const { return port_; }

    // Serves until `stopFd` becomes readable, then lets the connections in
    // flight end and returns. Each answered request is reported to `log`.
    // False with `error` when the HTTP library does not start.
    bool Serve(const Handler& handler, int stopFd, const Log& log, std::string& error);

    // Limits of one connection.
    static constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
    static constexpr int kConnectionSeconds = 10;
    static constexpr int kMaxConnections = 64;

private:
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
