#include "tools/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>

#include "tools/tool_util.h"

const char* HttpReason(int status) {
    switch (status) {
        case 200: return "OK";
        case 304: return "Not Modified";
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

std::string HttpDate(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

std::time_t ParseHttpDate(const std::string& text) {
    std::tm tm{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    if (end == nullptr || *end != '\0') return -1;
    return timegm(&tm);
}

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrorPage(int status) {
    const std::string title = std::to_string(status) + " " + HttpReason(status);
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1></body></html>\r\n";
}

// A connection from accept to close. `watch` is our own descriptor of the
// socket: the library closes its own when it is done, and a shutdown through
// ours can never reach a later connection that reuses the number.
struct Connection {
    int fd = -1;     // the library's
    int watch = -1;  // ours
    Clock::time_point deadline;
    bool cut = false;
};

// A connection turned away: its busy answer is on the way, and its request
// is read and thrown away until the client closes or the grace runs out, so
// that the close does not reset the connection under the answer.
struct Turned {
    int fd;
    Clock::time_point until;
};

struct ServerState {
    const HttpServer::Handler* handler = nullptr;
    const HttpServer::Log* log = nullptr;
    std::mutex mutex;
    std::map<long, Connection> open;
    long nextId = 1;
};

std::string Header(MHD_Connection* c, const char* name) {
    const char* v = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
    return v == nullptr ? std::string() : std::string(v);
}

std::string LogLine(const HttpRequest& r, int status) {
    auto field = [](const std::string& s) { return s.empty() ? std::string("-") : EscapeForQuotes(s); };
    return field(r.method) + " " + field(r.target) + " " + field(r.version) + " " +
           (r.hasUserAgent ? "\"" + EscapeForQuotes(r.userAgent) + "\"" : std::string("-")) + " " +
           std::to_string(status);
}

MHD_Result Queue(MHD_Connection* c, const HttpResponse& r, bool allow) {
    MHD_Response* response =
        MHD_create_response_from_buffer(r.body.size(), const_cast<char*>(r.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, "Server", "scorvane");
    MHD_add_response_header(response, "Content-Type", r.contentType.c_str());
    MHD_add_response_header(response, "Connection", "close");
    if (allow) MHD_add_response_header(response, "Allow", "GET, HEAD");
    for (const auto& h : r.headers) MHD_add_response_header(response, h.first.c_str(), h.second.c_str());
    const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(r.status), response);
    MHD_destroy_response(response);
    return queued;
}

// A request from its request line on: the target exactly as sent (the
// library hands the handler its path without the query, decoded), and
// whether it has been answered.
struct RequestState {
    std::string target;
    bool answered = false;
};

void* OnRequestLine(void*, const char* uri, MHD_Connection*) { return new RequestState{uri, false}; }

// A request the library refused itself (a malformed head, one too large, an
// unknown protocol version) gets its log line here, with what is known of it.
void OnRequestDone(void* cls, MHD_Connection* c, void** requestState, MHD_RequestTerminationCode) {
    auto* line = static_cast<RequestState*>(*requestState);
    if (line != nullptr && !line->answered) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_HTTP_STATUS);
        const unsigned status = info != nullptr ? info->http_status : 0;
        (*static_cast<ServerState*>(cls)->log)("- " + (line->target.empty() ? "-" : EscapeForQuotes(line->target)) +
                                               " - - " + (status != 0 ? std::to_string(status) : "-"));
    }
    delete line;
    *requestState = nullptr;
}

MHD_Result OnRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char* version,
                     const char*, std::size_t* uploadSize, void** requestState) {
    auto* state = static_cast<ServerState*>(cls);
    auto* line = static_cast<RequestState*>(*requestState);
    if (line == nullptr) *requestState = line = new RequestState{url, false};
    // A request body is never wanted: the answer goes out on the first call
    // and the library throws the body away.
    if (line->answered) {
        *uploadSize = 0;
        return MHD_YES;
    }
    line->answered = true;

    HttpRequest request;
    request.method = method;
    request.target = line->target;
    request.version = version;
    const char* agent = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_USER_AGENT);
    request.hasUserAgent = agent != nullptr;
    if (agent != nullptr) request.userAgent = agent;
    request.ifNoneMatch = Header(c, MHD_HTTP_HEADER_IF_NONE_MATCH);
    request.ifModifiedSince = Header(c, MHD_HTTP_HEADER_IF_MODIFIED_SINCE);
    request.path = request.target;
    if (request.target.size() >= 7 && strncasecmp(request.target.c_str(), "http://", 7) == 0) {
        const std::size_t slash = request.target.find('/', 7);
        request.path = slash == std::string::npos ? "/" : request.target.substr(slash);
    }

    HttpResponse response;
    if (request.path.empty() || request.path[0] != '/') {
        response = HttpResponse{400, "text/html; charset=iso-8859-1", ErrorPage(400), {}};
    } else if (request.method != "GET" && request.method != "HEAD") {
        response = HttpResponse{405, "text/html; charset=iso-8859-1", ErrorPage(405), {}};
    } else {
        try {
            response = (*state->handler)(request);
        } catch (const std::exception& e) {
            (*state->log)(std::string("scorvane serve: ") + e.what());
            response = HttpResponse{500, "text/html; charset=iso-8859-1", ErrorPage(500), {}};
        }
    }
    (*state->log)(LogLine(request, response.status));
    return Queue(c, response, response.status == 405);
}

void OnConnection(void* cls, MHD_Connection* c, void** socketState, MHD_ConnectionNotificationCode code) {
    auto* state = static_cast<ServerState*>(cls);
    std::lock_guard<std::mutex> lock(state->mutex);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
        for (auto& [id, conn] : state->open) {
            if (info != nullptr && conn.fd == info->connect_fd) *socketState = reinterpret_cast<void*>(id);
        }
        return;
    }
    const long id = reinterpret_cast<long>(*socketState);
    const auto found = state->open.find(id);
    if (found == state->open.end()) return;
    close(found->second.watch);
    state->open.erase(found);
}

void SendBusy(int fd) {
    const std::string page = ErrorPage(503);
    const std::string answer = "HTTP/1.1 503 Service Unavailable\r\nServer: scorvane\r\n"
                               "Content-Type: text/html; charset=iso-8859-1\r\nContent-Length: " +
                               std::to_string(page.size()) + "\r\nRetry-After: 5\r\nConnection: close\r\n\r\n" + page;
    // A fresh socket's send buffer takes the whole small answer at once.
    [[maybe_unused]] ssize_t sent = send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(fd, SHUT_WR);
}

// True when the client is done: closed its side or failed.
bool Drain(int fd) {
    char buffer[4096];
    for (int i = 0; i < 16; ++i) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) return true;
        if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
    }
    return false;
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
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 256) != 0) {
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

bool HttpServer::Serve(const Handler& handler, int stopFd, const Log& log, std::string& error) {
    ServerState state;
    state.handler = &handler;
    state.log = &log;
    // The library's own pool holds the request head and the answer's head;
    // a head that does not fit is answered 431 by the library.
    MHD_Daemon* daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL | MHD_USE_ITC |
            MHD_USE_NO_LISTEN_SOCKET,
        0, nullptr, nullptr, &OnRequest, &state, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        static_cast<std::size_t>(kMaxHeaderBytes + 4096), MHD_OPTION_CONNECTION_TIMEOUT,
        static_cast<unsigned>(kConnectionSeconds), MHD_OPTION_CONNECTION_LIMIT,
        static_cast<unsigned>(kMaxConnections + 8), MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, &state,
        MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &OnRequestDone, &state,
        MHD_OPTION_END);
    if (daemon == nullptr) {
        error = "the HTTP library did not start";
        return false;
    }

    constexpr std::size_t kMaxTurned = 512;
    std::vector<Turned> turned;
    for (;;) {
        const auto now = Clock::now();
        // Connections past their deadline lose their socket; the library
        // then finds it closed and ends them.
        Clock::time_point next = now + std::chrono::seconds(1);
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            for (auto& [id, conn] : state.open) {
                if (!conn.cut && conn.deadline <= now) {
                    shutdown(conn.watch, SHUT_RDWR);
                    conn.cut = true;
                }
                if (!conn.cut) next = std::min(next, conn.deadline);
            }
        }
        turned.erase(std::remove_if(turned.begin(), turned.end(),
                                    [now](const Turned& t) {
                                        if (t.until > now && !Drain(t.fd)) return false;
                                        close(t.fd);
                                        return true;
                                    }),
                     turned.end());
        std::vector<pollfd> fds = {{listenFd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        for (const Turned& t : turned) {
            fds.push_back({t.fd, POLLIN, 0});
            next = std::min(next, t.until);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(wait, 1)));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) == 0) continue;
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
        if (fd < 0) continue;  // the client gave up, or the process is out of descriptors for a moment
        std::unique_lock<std::mutex> lock(state.mutex);
        if (static_cast<int>(state.open.size()) >= kMaxConnections) {
            lock.unlock();
            SendBusy(fd);
            if (turned.size() < kMaxTurned) {
                turned.push_back({fd, Clock::now() + std::chrono::seconds(2)});
            } else {
                Drain(fd);
                close(fd);
            }
            continue;
        }
        const int watch = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (watch < 0) {
            close(fd);
            continue;
        }
        const long id = state.nextId++;
        state.open[id] = Connection{fd, watch, Clock::now() + std::chrono::seconds(kConnectionSeconds), false};
        lock.unlock();
        if (MHD_add_connection(daemon, fd, reinterpret_cast<sockaddr*>(&peer), peerLength) != MHD_YES) {
            // The library has closed its descriptor already.
            lock.lock();
            const auto found = state.open.find(id);
            if (found != state.open.end()) {
                close(found->second.watch);
                state.open.erase(found);
            }
        }
    }
    close(listenFd_);
    listenFd_ = -1;
    for (const Turned& t : turned) close(t.fd);
    // Stopping the library ends every connection and joins its thread; the
    // connections that are closed report it, so what is left is ours alone.
    MHD_stop_daemon(daemon);
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto& [id, conn] : state.open) close(conn.watch);
    state.open.clear();
    return true;
}
