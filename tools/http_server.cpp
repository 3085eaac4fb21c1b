#include "tools/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

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
    long id = 0;
    int fd = -1;     // the library's
    int watch = -1;  // ours
    // When it is cut: moved on by the library's thread as each answer has
    // gone out, read by the accept loop.
    std::atomic<Clock::rep> deadline{0};
    bool started = false;  // the library has taken it up, and will report its end
    bool cut = false;
};

Clock::rep DeadlineFrom(Clock::time_point t) {
    return (t + std::chrono::seconds(HttpServer::kConnectionSeconds)).time_since_epoch().count();
}

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
    // A map, so that the address the library keeps of each stays good.
    std::map<long, Connection> open;
    // The library's descriptor of each connection handed over, until the
    // library's thread takes it up and says so.
    std::unordered_map<int, long> waiting;
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

MHD_Response* Build(const HttpResponse& r) {
    MHD_Response* response =
        MHD_create_response_from_buffer(r.body.size(), const_cast<char*>(r.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return nullptr;
    MHD_add_response_header(response, "Server", "scorvane");
    MHD_add_response_header(response, "Content-Type", r.contentType.c_str());
    // A request we could not make sense of, or whose body we did not read,
    // leaves nothing to read the next one from.
    if (r.status == 400 || r.status == 405) MHD_add_response_header(response, "Connection", "close");
    if (r.status == 405) MHD_add_response_header(response, "Allow", "GET, HEAD");
    for (const auto& h : r.headers) MHD_add_response_header(response, h.first.c_str(), h.second.c_str());
    return response;
}

int StatusOf(const HttpResponse& r) { return r.prepared ? r.prepared->Status() : r.status; }

MHD_Result Queue(MHD_Connection* c, const HttpResponse& r) {
    if (r.prepared) return MHD_queue_response(c, static_cast<unsigned>(r.prepared->Status()), r.prepared->Native());
    MHD_Response* response = Build(r);
    if (response == nullptr) return MHD_NO;
    const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(r.status), response);
    MHD_destroy_response(response);
    return queued;
}

// A request from its request line on: the target exactly as sent (the
// library hands the handler its path without the query, decoded), and
// whether it has been answered.
struct RequestState {
    std::string target;
    bool seen = false;
    bool answered = false;
};

void* OnRequestLine(void*, const char* uri, MHD_Connection*) { return new RequestState{uri}; }

// A request the library refused itself (a malformed head, one too large, an
// unknown protocol version) gets its log line here, with what is known of
// it. An answer that has gone out gives its connection the time of a
// fresh one for the next request.
void OnRequestDone(void* cls, MHD_Connection* c, void** requestState, MHD_RequestTerminationCode code) {
    auto* line = static_cast<RequestState*>(*requestState);
    if (line != nullptr && !line->answered) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_HTTP_STATUS);
        const unsigned status = info != nullptr ? info->http_status : 0;
        (*static_cast<ServerState*>(cls)->log)("- " + (line->target.empty() ? "-" : EscapeForQuotes(line->target)) +
                                               " - - " + (status != 0 ? std::to_string(status) : "-"));
    }
    delete line;
    *requestState = nullptr;
    if (code == MHD_REQUEST_TERMINATED_COMPLETED_OK) {
        // The connection stays in the map until the library reports its
        // end, on this same thread.
        const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        if (info != nullptr && info->socket_context != nullptr)
            static_cast<Connection*>(info->socket_context)->deadline.store(DeadlineFrom(Clock::now()));
    }
}

MHD_Result OnRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char* version,
                     const char*, std::size_t* uploadSize, void** requestState) {
    auto* state = static_cast<ServerState*>(cls);
    auto* line = static_cast<RequestState*>(*requestState);
    if (line == nullptr) *requestState = line = new RequestState{url};
    // A request body is never wanted. GET and HEAD are answered once the
    // request is whole, so that the connection can carry the next one (the
    // library closes a connection answered from the head alone); any other
    // method is refused from its head and the library throws the body away.
    const bool bodiless = std::strcmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0;
    const bool first = !line->seen;
    line->seen = true;
    if (line->answered || (bodiless && (first || *uploadSize != 0))) {
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
        response = HttpResponse{400, "text/html; charset=iso-8859-1", ErrorPage(400), {}, {}};
    } else if (request.method != "GET" && request.method != "HEAD") {
        response = HttpResponse{405, "text/html; charset=iso-8859-1", ErrorPage(405), {}, {}};
    } else {
        try {
            response = (*state->handler)(request);
        } catch (const std::exception& e) {
            (*state->log)(std::string("scorvane serve: ") + e.what());
            response = HttpResponse{500, "text/html; charset=iso-8859-1", ErrorPage(500), {}, {}};
        }
    }
    (*state->log)(LogLine(request, StatusOf(response)));
    return Queue(c, response);
}

void OnConnection(void* cls, MHD_Connection* c, void** socketState, MHD_ConnectionNotificationCode code) {
    auto* state = static_cast<ServerState*>(cls);
    std::lock_guard<std::mutex> lock(state->mutex);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (info == nullptr) return;
        const auto waiting = state->waiting.find(info->connect_fd);
        if (waiting == state->waiting.end()) return;
        const auto found = state->open.find(waiting->second);
        state->waiting.erase(waiting);
        if (found == state->open.end()) return;
        found->second.started = true;
        *socketState = &found->second;
        return;
    }
    // Reported before the library closes its descriptor, so the number is
    // not yet anyone else's.
    auto* conn = static_cast<Connection*>(*socketState);
    if (conn == nullptr) return;
    *socketState = nullptr;
    close(conn->watch);
    const long id = conn->id;
    state->open.erase(id);
}

// Whether a connection still holds its place: open both ways. One that the
// deadline or the library has shut, or whose client has gone, is on its way
// out, whenever the library's thread gets round to saying so.
bool HoldsPlace(const Connection& conn) {
    if (conn.cut) return false;
    tcp_info info{};
    socklen_t length = sizeof info;
    if (getsockopt(conn.watch, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) return true;
    return info.tcpi_state == TCP_ESTABLISHED;
}

// Under the state's lock. `room` bounds what the library holds, the
// connections on their way out included.
bool HasRoom(const ServerState& state, std::size_t max, std::size_t room) {
    if (state.open.size() < max) return true;
    if (state.open.size() >= room) return false;
    std::size_t held = 0;
    for (const auto& entry : state.open) {
        if (HoldsPlace(entry.second) && ++held >= max) return false;
    }
    return true;
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

constexpr std::size_t kMaxTurned = 512;

// Connections whose end the library has yet to report are still its own; as
// many again as the limit leaves room for a whole burst of them.
std::size_t Room(std::size_t max) { return 2 * max; }

// Cuts the connections past their deadline; returns the next deadline, or
// `next` when none comes sooner.
Clock::time_point CutOverdue(ServerState& state, Clock::time_point now, Clock::time_point next) {
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto it = state.open.begin(); it != state.open.end();) {
        Connection& conn = it->second;
        const Clock::time_point deadline{Clock::duration(conn.deadline.load())};
        if (!conn.cut && deadline <= now) {
            // The library finds the socket closed and ends the connection.
            shutdown(conn.watch, SHUT_RDWR);
            conn.cut = true;
            if (!conn.started) {
                // Given up by the library without a word (it closes its
                // descriptor when it cannot take a connection up): nobody
                // else will end this one.
                close(conn.watch);
                const auto waiting = state.waiting.find(conn.fd);
                if (waiting != state.waiting.end() && waiting->second == it->first) state.waiting.erase(waiting);
                it = state.open.erase(it);
                continue;
            }
        }
        if (!conn.cut) next = std::min(next, deadline);
        ++it;
    }
    return next;
}

}  // namespace

std::shared_ptr<const PreparedResponse> PreparedResponse::Make(const HttpResponse& response) {
    MHD_Response* native = Build(response);
    if (native == nullptr) throw std::bad_alloc();
    return std::shared_ptr<const PreparedResponse>(new PreparedResponse(response.status, native));
}

PreparedResponse::~PreparedResponse() { MHD_destroy_response(native_); }

HttpServer::~HttpServer() {
    if (listenFd_ >= 0) close(listenFd_);
}

bool HttpServer::Listen(const std::string& address, int port, std::string& error) {
    const std::size_t max = MaxConnections();
    // Two descriptors a connection, the turned-away ones, and a margin for
    // the results' downloads and the library's own.
    const rlim_t files = static_cast<rlim_t>(2 * Room(max) + kMaxTurned + 64);
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < files) {
        if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < files) {
            error = "the process may open " + std::to_string(limit.rlim_max) + " files, " + std::to_string(max) +
                    " connections need " + std::to_string(files);
            return false;
        }
        limit.rlim_cur = files;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
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
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        const int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 1024) != 0) {
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
    const std::size_t max = MaxConnections();
    const std::size_t room = Room(max);
    ServerState state;
    state.handler = &handler;
    state.log = &log;
    // One thread of the library per processor, each waiting on its share
    // of the connections with epoll, rather than a thread started for every
    // connection and kept for its whole life.
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    // The library's own pool holds the request head and the answer's head;
    // a head that does not fit is answered 431 by the library. Its limit is
    // one every thread could reach alone, so that it never closes a
    // connection we handed over: ours decides.
    MHD_Daemon* daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC | MHD_USE_NO_LISTEN_SOCKET, 0, nullptr, nullptr,
        &OnRequest, &state, MHD_OPTION_THREAD_POOL_SIZE, workers, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        static_cast<std::size_t>(kMaxHeaderBytes + 4096), MHD_OPTION_CONNECTION_TIMEOUT,
        static_cast<unsigned>(kConnectionSeconds), MHD_OPTION_CONNECTION_LIMIT,
        static_cast<unsigned>(workers * (room + 16)), MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, &state,
        MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &OnRequestDone, &state,
        MHD_OPTION_END);
    if (daemon == nullptr) {
        error = "the HTTP library did not start";
        return false;
    }

    std::vector<Turned> turned;
    auto turnAway = [&turned](int fd) {
        SendBusy(fd);
        if (turned.size() < kMaxTurned) {
            turned.push_back({fd, Clock::now() + std::chrono::seconds(2)});
        } else {
            Drain(fd);
            close(fd);
        }
    };
    Clock::time_point nextCut = Clock::now();
    Clock::time_point acceptAgain = Clock::now();
    std::vector<pollfd> fds;
    for (;;) {
        auto now = Clock::now();
        if (now >= nextCut) nextCut = CutOverdue(state, now, now + std::chrono::seconds(1));
        Clock::time_point next = nextCut;
        // Out of descriptors: the waiting clients stay in the queue until
        // some are free again, rather than the loop spinning on them.
        const bool accepting = now >= acceptAgain;
        if (!accepting) next = std::min(next, acceptAgain);
        fds.assign({{accepting ? listenFd_ : -1, POLLIN, 0}, {stopFd, POLLIN, 0}});
        for (const Turned& t : turned) {
            fds.push_back({t.fd, POLLIN, 0});
            next = std::min(next, t.until);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(wait, 1)));
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && fds[1].revents != 0) break;
        now = Clock::now();
        std::size_t kept = 0;
        for (std::size_t i = 0; i < turned.size(); ++i) {
            const bool polled = ready > 0 && fds[i + 2].revents != 0;
            if (turned[i].until <= now || (polled && Drain(turned[i].fd))) {
                close(turned[i].fd);
            } else {
                turned[kept++] = turned[i];
            }
        }
        turned.resize(kept);
        if (ready <= 0 || (fds[0].revents & POLLIN) == 0) continue;
        for (int batch = 0; batch < 64; ++batch) {
            sockaddr_storage peer{};
            socklen_t peerLength = sizeof peer;
            const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                    acceptAgain = Clock::now() + std::chrono::milliseconds(100);
                if (errno == EINTR || errno == ECONNABORTED) continue;  // the client gave up
                break;
            }
            std::unique_lock<std::mutex> lock(state.mutex);
            const int watch = HasRoom(state, max, room) ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
            if (watch < 0) {
                lock.unlock();
                turnAway(fd);
                continue;
            }
            const long id = state.nextId++;
            Connection& conn = state.open[id];
            conn.id = id;
            conn.fd = fd;
            conn.watch = watch;
            conn.deadline.store(DeadlineFrom(Clock::now()));
            state.waiting[fd] = id;
            lock.unlock();
            if (MHD_add_connection(daemon, fd, reinterpret_cast<sockaddr*>(&peer), peerLength) != MHD_YES) {
                // The library has closed its descriptor already; ours still
                // reaches the client, which hears that the server is busy.
                lock.lock();
                const auto waiting = state.waiting.find(fd);
                if (waiting != state.waiting.end() && waiting->second == id) state.waiting.erase(waiting);
                state.open.erase(id);
                lock.unlock();
                turnAway(watch);
            }
        }
    }
    close(listenFd_);
    listenFd_ = -1;
    for (const Turned& t : turned) close(t.fd);
    // Stopping the library ends every connection and joins its threads; the
    // connections that are closed report it, so what is left is ours alone.
    MHD_stop_daemon(daemon);
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto& [id, conn] : state.open) close(conn.watch);
    state.open.clear();
    return true;
}
