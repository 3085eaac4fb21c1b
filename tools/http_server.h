#pragma once
// A small HTTP/1.x server for the stand-in site: one request per
// connection, one thread per connection, time limits on every read and
// write, a stop descriptor for a clean shutdown.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>

struct HttpRequest {
    std::string method;
    std::string target;   // as sent
    std::string path;     // the target without scheme and host when absolute
    std::string version;  // "HTTP/1.0"
    bool hasUserAgent = false;
    std::string userAgent;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=iso-8859-1";
    std::string body;
};

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

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
    // flight end (cutting short those that wait on their client) and returns.
    // Each answered request is reported to `log`.
    void Serve(const Handler& handler, int stopFd, const std::function<void(const std::string&)>& log);

    // Limits of one request.
    static constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
    static constexpr int kClientTimeoutSeconds = 10;
    static constexpr int kMaxConnections = 64;

private:
    void HandleConnection(int fd);

    int listenFd_ = -1;
    int port_ = 0;
    std::string host_;
    const Handler* handler_ = nullptr;
    const std::function<void(const std::string&)>* log_ = nullptr;

    std::mutex mutex_;
    std::condition_variable idle_;
    std::set<int> open_;  // connections in flight
};

// The reason phrase of a status code.
const char* HttpReason(int status);
