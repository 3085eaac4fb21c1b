// The WinINet client against a real HTTP server on loopback, run by this
// test process itself over Winsock, so that every answer (and every way of
// misbehaving) is under the test's control.

#include "platform/win32/win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "platform/win32/wininet_http_client.h"

namespace {

// One connection: the request as received, and the socket to answer on.
struct Exchange {
    std::string request;
    SOCKET socket;
    bool Send(const std::string& data) const {
        return ::send(socket, data.data(), static_cast<int>(data.size()), 0) == static_cast<int>(data.size());
    }
};

class LoopbackServer {
public:
    explicit LoopbackServer(std::function<void(Exchange&)> answer) : answer_(std::move(answer)) {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listener_, 8);
        int len = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        ::closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    int port() const { return port_; }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Serve() {
        while (!stopping_) {
            SOCKET s = ::accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) return;
            Exchange ex{ReadRequest(s), s};
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(ex.request);
            }
            answer_(ex);
            ::shutdown(s, SD_SEND);
            ::closesocket(s);
        }
    }
    static std::string ReadRequest(SOCKET s) {
        std::string text;
        char buffer[1024];
        while (text.find("\r\n\r\n") == std::string::npos) {
            const int n = ::recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    std::function<void(Exchange&)> answer_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

std::string Response(const std::string& status, const std::string& body, bool length = true) {
    std::string r = "HTTP/1.0 " + status + "\r\nContent-Type: text/html\r\n";
    if (length) r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return r + "\r\n" + body;
}

// Waits until the server side may end the exchange: the client gave up.
void WaitForClose(SOCKET s, int maxSeconds) {
    char c;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds);
    DWORD timeout = 200;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    while (std::chrono::steady_clock::now() < end) {
        if (::recv(s, &c, 1, 0) == 0) return;
    }
}

double SecondsOf(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(WinInetHttpClient, SendsAnHttp10GetAsVemoAndReturnsTheRawBody) {
    const std::string body = "<html>\r\n<b>a</b>\r\nb\n\r\xE9</html>";
    LoopbackServer server([&](Exchange& ex) { ex.Send(Response("200 OK", body)); });
    WinInetHttpClient client;
    std::string got = "old";
    EXPECT_EQ(client.Get("127.0.0.1", server.port(), "/associations/association=ger/x.html", got), 200);
    EXPECT_EQ(got, body);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& req = requests[0];
    EXPECT_EQ(req.substr(0, req.find("\r\n")), "GET /associations/association=ger/x.html HTTP/1.0");
    EXPECT_NE(req.find("\r\nUser-Agent: Vemo\r\n"), std::string::npos) << req;
    EXPECT_NE(req.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"), std::string::npos) << req;
}

TEST(WinInetHttpClient, OtherStatusesLeaveTheBodyUnread) {
    LoopbackServer server([](Exchange& ex) { ex.Send(Response("404 Not Found", "<html>missing</html>")); });
    WinInetHttpClient client;
    std::string got = "old";
    EXPECT_EQ(client.Get("127.0.0.1", server.port(), "/x", got), 404);
    EXPECT_EQ(got, "");
}

TEST(WinInetHttpClient, EveryRequestGoesToTheServer) {
    std::atomic<int> n{0};
    LoopbackServer server([&](Exchange& ex) {
        ex.Send("HTTP/1.0 200 OK\r\nCache-Control: max-age=3600\r\nContent-Length: 6\r\n\r\npage " +
                std::to_string(++n));
    });
    WinInetHttpClient client;
    std::string first, second;
    EXPECT_EQ(client.Get("127.0.0.1", server.port(), "/same", first), 200);
    EXPECT_EQ(client.Get("127.0.0.1", server.port(), "/same", second), 200);
    EXPECT_EQ(first, "page 1");
    EXPECT_EQ(second, "page 2");
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST(WinInetHttpClient, RefusedConnectionIsAnError) {
    int port;
    {
        LoopbackServer closed([](Exchange&) {});
        port = closed.port();
    }
    WinInetHttpClient client;
    std::string got;
    EXPECT_THROW(client.Get("127.0.0.1", port, "/x", got), HttpError);
    EXPECT_THROW(client.Get("127.0.0.1", 0, "/x", got), HttpError);
    EXPECT_THROW(client.Get("127.0.0.1", 70000, "/x", got), HttpError);
}

// Seconds until a client whose whole exchange may take 1.5 s gives up on
// the server, which must make it fail.
double SecondsToGiveUp(int port) {
    WinInetLimits limits;
    limits.transferTimeoutMs = 1500;
    WinInetHttpClient client(limits);
    std::string got;
    return SecondsOf([&] { EXPECT_THROW(client.Get("127.0.0.1", port, "/x", got), HttpError); });
}

TEST(WinInetHttpClient, StalledServerIsCutOffByTheTimeLimit) {
    LoopbackServer server([](Exchange& ex) { WaitForClose(ex.socket, 15); });
    const double seconds = SecondsToGiveUp(server.port());
    EXPECT_GE(seconds, 1.0);
    EXPECT_LT(seconds, 6.0);
}

TEST(WinInetHttpClient, TricklingBodyIsCutOffByTheTimeLimit) {
    LoopbackServer server([](Exchange& ex) {
        ex.Send("HTTP/1.0 200 OK\r\n\r\n");
        for (int i = 0; i < 60 && ex.Send("x"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    const double seconds = SecondsToGiveUp(server.port());
    EXPECT_LT(seconds, 4.5);
}

TEST(WinInetHttpClient, BodyThatStopsComingIsCutOffByTheTimeLimit) {
    LoopbackServer server([](Exchange& ex) {
        ex.Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nabc");
        WaitForClose(ex.socket, 15);
    });
    const double seconds = SecondsToGiveUp(server.port());
    EXPECT_LT(seconds, 4.5);
}

// WinINet's time-outs hold per read: headers that come a byte at a time
// would keep the call going for as long as the server likes.
TEST(WinInetHttpClient, TricklingHeadersAreCutOffByTheTimeLimit) {
    std::atomic<bool> stop{false};
    LoopbackServer server([&](Exchange& ex) {
        const std::string head = "HTTP/1.0 200 OK\r\nX-Slow: " + std::string(200, 'z');
        for (std::size_t i = 0; i < head.size() && !stop && ex.Send(head.substr(i, 1)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    const double seconds = SecondsToGiveUp(server.port());
    stop = true;
    EXPECT_GE(seconds, 1.4);
    EXPECT_LT(seconds, 2.5);
}

// A redirect is the server's answer, not an address to go on to.
TEST(WinInetHttpClient, RedirectIsNotFollowed) {
    std::atomic<int> n{0};
    LoopbackServer server([&](Exchange& ex) {
        if (++n <= 3)
            ex.Send("HTTP/1.0 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n");
        else
            ex.Send(Response("200 OK", "<html>moved</html>"));
    });
    WinInetHttpClient client;
    std::string got = "old";
    EXPECT_EQ(client.Get("127.0.0.1", server.port(), "/x", got), 302);
    EXPECT_EQ(got, "");
    EXPECT_EQ(server.Requests().size(), 1u);
}

// Written out, so that a change of the limits in the code shows.
TEST(WinInetHttpClient, DefaultLimitsAre10And20SecondsAnd32MiB) {
    const WinInetLimits limits;
    EXPECT_EQ(limits.connectTimeoutMs, 10000u);
    EXPECT_EQ(limits.transferTimeoutMs, 20000u);
    EXPECT_EQ(limits.maxBodyBytes, 33554432u);
}

TEST(WinInetHttpClient, BodyOverTheCapIsAnError) {
    const std::string big(5000, 'x');
    LoopbackServer announced([&](Exchange& ex) { ex.Send(Response("200 OK", big)); });
    LoopbackServer unannounced([&](Exchange& ex) { ex.Send(Response("200 OK", big, false)); });
    WinInetLimits limits;
    limits.maxBodyBytes = 4999;
    WinInetHttpClient client(limits);
    std::string got;
    EXPECT_THROW(client.Get("127.0.0.1", announced.port(), "/x", got), HttpError);
    EXPECT_THROW(client.Get("127.0.0.1", unannounced.port(), "/x", got), HttpError);
    limits.maxBodyBytes = 5000;
    WinInetHttpClient exact(limits);
    EXPECT_EQ(exact.Get("127.0.0.1", unannounced.port(), "/x", got), 200);
    EXPECT_EQ(got.size(), 5000u);
}

TEST(WinInetHttpClient, BodyCutShortIsAnError) {
    LoopbackServer server([](Exchange& ex) {
        ex.Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(50, 'y'));
    });
    WinInetHttpClient client;
    std::string got;
    EXPECT_THROW(client.Get("127.0.0.1", server.port(), "/x", got), HttpError);
}

// The request line of a request as the server received it.
std::string RequestLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

bool HasHeader(const std::string& request, const std::string& line) {
    return request.find("\r\n" + line + "\r\n") != std::string::npos;
}

std::string FileUrl(const LoopbackServer& server, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(server.port()) + path;
}

FileRequest Unconditional(const std::string& url) {
    FileRequest request;
    request.url = url;
    return request;
}

TEST(WinInetGetFile, ReturnsTheBodyAndItsValidators) {
    const std::string body = "{\"name\": \"Premier League 2025/26\"}\n";
    LoopbackServer server([&](Exchange& ex) {
        ex.Send("HTTP/1.0 200 OK\r\nETag: W/\"5e-19c\"\r\nLast-Modified: Sun, 08 Mar 2026 21:04:11 GMT\r\n"
                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    });
    WinInetHttpClient client;
    FileRequest request;
    request.url = FileUrl(server, "/fj/2025-26/en.1.json?x=1#top");
    const FileResponse response = client.GetFile(request);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, body);
    EXPECT_EQ(response.etag, "W/\"5e-19c\"");
    EXPECT_EQ(response.lastModified, "Sun, 08 Mar 2026 21:04:11 GMT");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(RequestLine(requests[0]), "GET /fj/2025-26/en.1.json?x=1 HTTP/1.1");
    EXPECT_TRUE(HasHeader(requests[0], "User-Agent: Vemo")) << requests[0];
    EXPECT_EQ(requests[0].find("If-None-Match"), std::string::npos) << requests[0];
    EXPECT_EQ(requests[0].find("If-Modified-Since"), std::string::npos) << requests[0];
}

// Only the caller holds the copy a 304 refers to: WinINet must neither
// answer a conditional request from what it saw before nor turn the 304
// into a 200, and the next plain request must reach the server again.
TEST(WinInetGetFile, ConditionalRequestGetsTheServersAnswerUnchanged) {
    std::atomic<int> n{0};
    LoopbackServer server([&](Exchange& ex) {
        const int k = ++n;
        if (k == 2 && ex.request.find("\r\nIf-None-Match: \"v1\"\r\n") != std::string::npos)
            ex.Send("HTTP/1.0 304 Not Modified\r\nETag: \"v1\"\r\n\r\n");
        else
            ex.Send("HTTP/1.0 200 OK\r\nCache-Control: max-age=3600\r\nETag: \"v" + std::to_string(k) +
                    "\"\r\nContent-Length: 5\r\n\r\nbody" + std::to_string(k));
    });
    WinInetHttpClient client;
    FileRequest request;
    request.url = FileUrl(server, "/f.json");
    EXPECT_EQ(client.GetFile(request).body, "body1");

    request.ifNoneMatch = "\"v1\"";
    request.ifModifiedSince = "Sun, 08 Mar 2026 21:04:11 GMT";
    const FileResponse notModified = client.GetFile(request);
    EXPECT_EQ(notModified.status, 304);
    EXPECT_EQ(notModified.body, "");
    EXPECT_EQ(notModified.etag, "\"v1\"");

    const FileResponse fresh = client.GetFile(Unconditional(request.url));
    EXPECT_EQ(fresh.status, 200);
    EXPECT_EQ(fresh.body, "body3");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(HasHeader(requests[1], "If-None-Match: \"v1\"")) << requests[1];
    EXPECT_TRUE(HasHeader(requests[1], "If-Modified-Since: Sun, 08 Mar 2026 21:04:11 GMT")) << requests[1];
    EXPECT_EQ(requests[2].find("If-None-Match"), std::string::npos) << requests[2];

    // A validator that would end its header line is not sent at all.
    request.ifNoneMatch = "\"v1\"\r\nX-Injected: 1";
    request.ifModifiedSince = "";
    EXPECT_EQ(client.GetFile(request).status, 200);
    const std::string last = server.Requests().back();
    EXPECT_EQ(last.find("If-None-Match"), std::string::npos) << last;
    EXPECT_EQ(last.find("X-Injected"), std::string::npos) << last;
}

// A file host moves files: to another server by a full address, and on
// there by a path; a host that sends the client round in circles fails it
// after a bounded number of requests.
TEST(WinInetGetFile, FollowsRedirectsAndBoundsThem) {
    LoopbackServer moved([](Exchange& ex) {
        if (RequestLine(ex.request) == "GET /old/en.1.json HTTP/1.1")
            ex.Send("HTTP/1.0 301 Moved Permanently\r\nLocation: /new/en.1.json\r\nContent-Length: 0\r\n\r\n");
        else
            ex.Send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nmoved");
    });
    LoopbackServer first([&](Exchange& ex) {
        ex.Send("HTTP/1.0 302 Found\r\nLocation: " + FileUrl(moved, "/old/en.1.json") + "\r\nContent-Length: 0\r\n\r\n");
    });
    WinInetHttpClient client;
    const FileResponse response = client.GetFile(Unconditional(FileUrl(first, "/fj/en.1.json")));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "moved");
    EXPECT_EQ(first.Requests().size(), 1u);
    const auto requests = moved.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(RequestLine(requests[1]), "GET /new/en.1.json HTTP/1.1");

    LoopbackServer circle([](Exchange& ex) {
        ex.Send("HTTP/1.0 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n");
    });
    EXPECT_THROW(client.GetFile(Unconditional(FileUrl(circle, "/again"))), HttpError);
    EXPECT_EQ(circle.Requests().size(), static_cast<std::size_t>(kMaxFileRedirects + 1));
}

TEST(WinInetGetFile, MissingFileIsAStatusAndOtherAddressesAreErrors) {
    LoopbackServer server([](Exchange& ex) {
        ex.Send("HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
    });
    WinInetHttpClient client;
    const FileResponse response = client.GetFile(Unconditional(FileUrl(server, "/fj/2026/xx.1.json")));
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.body, "");

    EXPECT_THROW(client.GetFile(Unconditional("ftp://127.0.0.1/en.1.json")), HttpError);
    EXPECT_THROW(client.GetFile(Unconditional("127.0.0.1/en.1.json")), HttpError);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(WinInetGetFile, BodyOverTheCapIsAnError) {
    const std::string big(5000, 'x');
    LoopbackServer announced([&](Exchange& ex) { ex.Send(Response("200 OK", big)); });
    LoopbackServer unannounced([&](Exchange& ex) { ex.Send(Response("200 OK", big, false)); });
    WinInetHttpClient client;
    FileRequest request;
    request.maxBodyBytes = 4999;
    request.url = FileUrl(announced, "/big.json");
    EXPECT_THROW(client.GetFile(request), HttpError);
    request.url = FileUrl(unannounced, "/big.json");
    EXPECT_THROW(client.GetFile(request), HttpError);
    request.maxBodyBytes = 5000;
    EXPECT_EQ(client.GetFile(request).body.size(), 5000u);
}

// The whole download path of the Windows program: URL, client, parse.
TEST(WinInetFetchStandings, FillsTheTableAndReportsFailures) {
    const std::string page =
        "<html><body><table><thead><tr><th></th><th>Club</th><th>P</th><th>W</th><th>D</th><th>L</th>"
        "<th>GF</th><th>GA</th><th>GD</th><th>Pts</th><th></th></tr></thead>\r\n<tbody>\r\n"
        "<tr><td>1</td><td><a href=\"#\">M&uuml;nster</a></td><td>2</td><td>2</td><td>0</td><td>0</td>"
        "<td>5</td><td>1</td><td>+4</td><td>6</td></tr>\r\n</tbody></table></body></html>\r\n";
    LoopbackServer server([&](Exchange& ex) { ex.Send(Response("200 OK", page)); });
    WinInetHttpClient client;
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());

    StandingsExtractor::ResetSharedState();
    theStandings.RemoveAll();
    EXPECT_TRUE(FetchStandings(client, (base + "/associations/association=ger/nationalleague/standings.html").c_str()));
    EXPECT_GT(theStandings.GetSize(), 0);
    bool found = false;
    for (int i = 0; i < theStandings.GetSize(); ++i)
        for (const std::string& cell : theStandings.ElementAt(i).cells) found |= cell == "M\xFCnster";
    EXPECT_TRUE(found);

    // Not an HTTP URL: true, and no request is made.
    theStandings.RemoveAll();
    const std::size_t before = server.Requests().size();
    EXPECT_TRUE(FetchStandings(client, ("https://127.0.0.1:" + std::to_string(server.port()) + "/x").c_str()));
    EXPECT_EQ(server.Requests().size(), before);
    EXPECT_EQ(theStandings.GetSize(), 0);

    // A status other than 200: false, and the body is not parsed.
    LoopbackServer missing([&](Exchange& ex) { ex.Send(Response("404 Not Found", page)); });
    EXPECT_FALSE(FetchStandings(client, ("http://127.0.0.1:" + std::to_string(missing.port()) + "/x").c_str()));
    EXPECT_EQ(theStandings.GetSize(), 0);

    // Nobody listening: false.
    int port;
    {
        LoopbackServer closed([](Exchange&) {});
        port = closed.port();
    }
    EXPECT_FALSE(FetchStandings(client, ("http://127.0.0.1:" + std::to_string(port) + "/x").c_str()));
    EXPECT_EQ(theStandings.GetSize(), 0);
}

}  // namespace
