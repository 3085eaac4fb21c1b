#include "tools/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "tools/tool_util.h"

const char* HttpReason(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Unknown";
    }
}

namespace {

bool SendAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string ErrorPage(int status) {
    const std::string title = std::to_string(status) + " " + HttpReason(status);
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1></body></html>\r\n";
}

std::string Serialise(const HttpResponse& r, bool withBody, bool allowHeader) {
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " + HttpReason(r.status) + "\r\n";
    head += "Server: scorvane\r\n";
    head += "Content-Type: " + r.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    if (allowHeader) head += "Allow: GET, HEAD\r\n";
    head += "Connection: close\r\n\r\n";
    return withBody ? head + r.body : head;
}

bool IsToken(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s) {
        if (c <= 0x20 || c >= 0x7F || std::strchr("()<>@,;:\\\"/[]?={}", c) != nullptr) return false;
    }
    return true;
}

bool IsVersion(const std::string& v) {
    return v.size() == 8 && v.compare(0, 5, "HTTP/") == 0 && v[5] >= '0' && v[5] <= '9' && v[6] == '.' &&
           v[7] >= '0' && v[7] <= '9';
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string TrimBlanks(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Status for a malformed head, or 0 when `request` was filled.
int ParseHead(const std::string& head, HttpRequest& request) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= head.size()) {
        size_t nl = head.find('\n', start);
        if (nl == std::string::npos) nl = head.size();
        std::string l = head.substr(start, nl - start);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
        start = nl + 1;
    }
    // Blank lines before the request line are tolerated.
    size_t first = 0;
    while (first < lines.size() && lines[first].empty()) ++first;
    if (first == lines.size()) return 400;

    const std::string& requestLine = lines[first];
    const size_t sp1 = requestLine.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : requestLine.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || requestLine.find(' ', sp2 + 1) != std::string::npos) return 400;
    request.method = requestLine.substr(0, sp1);
    request.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    request.version = requestLine.substr(sp2 + 1);
    if (!IsToken(request.method) || request.target.empty() || !IsVersion(request.version)) return 400;
    for (unsigned char c : request.target) {
        if (c <= 0x20 || c >= 0x7F) return 400;
    }
    request.path = request.target;
    if (Lower(request.target.substr(0, 7)) == "http://") {
        const size_t slash = request.target.find('/', 7);
        request.path = slash == std::string::npos ? "/" : request.target.substr(slash);
    } else if (request.target[0] != '/') {
        return 400;
    }

    for (size_t i = first + 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.empty()) break;
        const size_t colon = l.find(':');
        if (colon == std::string::npos || colon == 0 || !IsToken(l.substr(0, colon))) return 400;
        if (Lower(l.substr(0, colon)) == "user-agent" && !request.hasUserAgent) {
            request.hasUserAgent = true;
            request.userAgent = TrimBlanks(l.substr(colon + 1));
        }
    }
    if (request.version[5] != '1') return 505;
    return 0;
}

std::string LogLine(const HttpRequest& r, int status) {
    auto field = [](const std::string& s) { return s.empty() ? std::string("-") : EscapeForQuotes(s); };
    return field(r.method) + " " + field(r.target) + " " + field(r.version) + " " +
           (r.hasUserAgent ? "\"" + EscapeForQuotes(r.userAgent) + "\"" : std::string("-")) + " " +
           std::to_string(status);
}

}  // namespace

HttpServer::~HttpServer() {
    if (listenFd_ >= 0) close(listenFd_);
}

bool HttpServer::Listen(const std::string& address, int port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(address.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        error = "cannot resolve '" + address + "': " + gai_strerror(rc);
        return false;
    }
    std::string lastError = "no address";
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        const int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 128) != 0) {
            lastError = std::strerror(errno);
            close(fd);
            continue;
        }
        listenFd_ = fd;
        break;
    }
    freeaddrinfo(found);
    if (listenFd_ < 0) {
        error = "cannot listen on " + address + ":" + service + ": " + lastError;
        return false;
    }
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &len);
    char text[INET6_ADDRSTRLEN] = {};
    if (bound.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&bound);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        port_ = ntohs(in6->sin6_port);
        host_ = std::string("[") + text + "]";
    } else {
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(&bound);
        inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text);
        port_ = ntohs(in4->sin_port);
        host_ = text;
    }
    return true;
}

std::string HttpServer::BoundAddress() const { return host_ + ":" + std::to_string(port_); }

void HttpServer::Serve(const Handler& handler, int stopFd, const std::function<void(const std::string&)>& log) {
    handler_ = &handler;
    log_ = &log;
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) == 0) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;  // the client gave up, or the process is out of descriptors for a moment
        timeval limit{kClientTimeoutSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (static_cast<int>(open_.size()) >= kMaxConnections) {
                HttpResponse busy{503, "text/html; charset=iso-8859-1", ErrorPage(503)};
                SendAll(fd, Serialise(busy, true, false));
                close(fd);
                continue;
            }
            open_.insert(fd);
        }
        std::thread([this, fd] { HandleConnection(fd); }).detach();
    }
    close(listenFd_);
    listenFd_ = -1;
    // Connections still waiting for their client are cut short; those
    // computing or sending an answer finish it.
    std::unique_lock<std::mutex> lock(mutex_);
    for (int fd : open_) shutdown(fd, SHUT_RD);
    idle_.wait(lock, [this] { return open_.empty(); });
}

void HttpServer::HandleConnection(int fd) {
    std::string head;
    int status = 0;
    bool timedOut = false;
    char buffer[4096];
    size_t end = std::string::npos;
    // The whole head must arrive within the limit, however it is spread
    // out: a client trickling one byte at a time cannot hold a connection.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kClientTimeoutSeconds);
    while (end == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{fd, POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&wait, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            timedOut = true;
            break;
        }
        const ssize_t n = ready < 0 ? -1 : recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
            break;
        }
        if (n == 0) break;
        const size_t searchFrom = head.size() > 3 ? head.size() - 3 : 0;
        head.append(buffer, static_cast<size_t>(n));
        const size_t crlf = head.find("\r\n\r\n", searchFrom);
        const size_t lf = head.find("\n\n", searchFrom);
        end = std::min(crlf == std::string::npos ? crlf : crlf + 4, lf == std::string::npos ? lf : lf + 2);
        if (end == std::string::npos && head.size() > kMaxHeaderBytes) status = 431;
        if (end != std::string::npos && end > kMaxHeaderBytes) status = 431;
        if (status != 0) break;
    }

    HttpRequest request;
    HttpResponse response;
    bool answer = true;
    if (status == 0 && end == std::string::npos) {
        // A connection that closed or timed out before sending anything is
        // no request at all.
        if (head.find_first_not_of("\r\n") == std::string::npos) {
            answer = false;
        } else {
            status = timedOut ? 408 : 400;
        }
    }
    if (answer && status == 0) status = ParseHead(head.substr(0, end), request);
    const bool head_only = request.method == "HEAD";
    if (answer) {
        if (status == 0 && request.method != "GET" && request.method != "HEAD") status = 405;
        if (status == 0) {
            try {
                response = (*handler_)(request);
            } catch (const std::exception& e) {
                (*log_)(std::string("scorvane serve: ") + e.what());
                response = HttpResponse{500, "text/html; charset=iso-8859-1", ErrorPage(500)};
            }
        } else {
            response = HttpResponse{status, "text/html; charset=iso-8859-1", ErrorPage(status)};
        }
        SendAll(fd, Serialise(response, !head_only, response.status == 405));
        (*log_)(LogLine(request, response.status));
        // Half-close and let the client read everything before the socket
        // goes: closing with unread input would reset the connection and
        // could destroy the answer on its way.
        shutdown(fd, SHUT_WR);
        timeval linger{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &linger, sizeof linger);
        for (int i = 0; i < 64 && recv(fd, buffer, sizeof buffer, 0) > 0; ++i) {
        }
    }
    // Forget the descriptor before closing it: once closed, its number may
    // already belong to the next connection.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_.erase(fd);
        close(fd);
        if (open_.empty()) idle_.notify_all();
    }
}
