// The saver's download in a child process: what the child's libcurl client
// answers comes back whole, and neither a stop nor a dying child leaves the
// saver waiting or a process behind.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <regex>
#include <string>
#include <thread>

#include "acquire/http_client.h"
#include "platform/posix/child_process_http_client.h"
#include "platform/posix/curl_http_client.h"
#include "tests/integration/acquire/loopback_servers.h"

namespace {

std::string Answer(const std::string& statusLine, const std::string& body) {
    return statusLine + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// No child of the test process is left, running or unreaped.
bool NoChildLeft() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

TEST(ChildProcessClient, CarriesStatusBodyAndFailuresOfTheChildsClient) {
    // Every byte value, and more than one pipe's worth.
    std::string page;
    for (int i = 0; i < 300000; ++i) page += static_cast<char>(i * 7 % 256);
    ScriptedServer ok([&page](int fd, const std::string&) { ScriptedServer::Send(fd, Answer("HTTP/1.0 200 OK", page)); });
    ScriptedServer missing([](int fd, const std::string&) { ScriptedServer::Send(fd, Answer("HTTP/1.0 404 Not Found", "gone")); });
    CurlHttpClient curl;
    ChildProcessHttpClient client(curl);

    std::string body = "old";
    EXPECT_EQ(client.Get("127.0.0.1", ok.port(), "/a%20b", body), 200);
    EXPECT_TRUE(body == page);
    ASSERT_EQ(ok.Heads().size(), 1u);
    EXPECT_EQ(ok.Heads()[0].substr(0, 21), "GET /a%20b HTTP/1.0\r\n");
    EXPECT_EQ(client.Get("127.0.0.1", missing.port(), "/", body), 404);
    EXPECT_EQ(body, "");

    // The child's own error, word for word.
    const int port = UnusedLoopbackPort();
    std::string inChild, direct;
    try {
        curl.Get("127.0.0.1", port, "/", body);
    } catch (const HttpError& e) {
        direct = e.what();
    }
    try {
        client.Get("127.0.0.1", port, "/", body);
    } catch (const HttpError& e) {
        inChild = e.what();
    }
    // libcurl puts the milliseconds the attempt took into its text; they differ between two tries.
    const std::regex elapsed("after [0-9]+ ms");
    EXPECT_NE(direct, "");
    EXPECT_EQ(std::regex_replace(inChild, elapsed, "after N ms"), std::regex_replace(direct, elapsed, "after N ms"));
    EXPECT_TRUE(NoChildLeft());
}

TEST(ChildProcessClient, StopEndsTheWaitAtOnceAndTheChildWithIt) {
    ScriptedServer* silentServer = nullptr;
    ScriptedServer silent([&silentServer](int fd, const std::string&) { silentServer->WaitForClientToLeave(fd); });
    silentServer = &silent;
    static volatile std::sig_atomic_t stop = 0;
    stop = 0;
    int wake[2];
    ASSERT_EQ(pipe(wake), 0);
    CurlHttpClient curl;
    ChildProcessHttpClient client(curl, &stop, wake[0]);
    std::thread signaller([&wake] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = 1;
        const char byte = 1;
        (void)!write(wake[1], &byte, 1);
    });
    const auto start = std::chrono::steady_clock::now();
    std::string body;
    EXPECT_THROW(client.Get("127.0.0.1", silent.port(), "/", body), HttpError);
    const auto took = std::chrono::steady_clock::now() - start;
    signaller.join();
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_TRUE(NoChildLeft());
    close(wake[0]);
    close(wake[1]);

    // Stopped before it began: no child at all.
    EXPECT_THROW(client.Get("127.0.0.1", silent.port(), "/", body), HttpError);
    EXPECT_EQ(silent.Connections(), 1);
}

// A client that dies the way a crash would.
class DyingClient : public HttpClient {
public:
    int Get(const std::string&, int, const std::string&, std::string&) override {
        std::raise(SIGKILL);
        return 200;
    }
};

TEST(ChildProcessClient, ChildThatDiesIsAFailedDownloadThatSaysHow) {
    DyingClient dying;
    ChildProcessHttpClient client(dying);
    std::string body;
    try {
        client.Get("127.0.0.1", 1, "/", body);
        ADD_FAILURE() << "a dead child gave an answer";
    } catch (const HttpError& e) {
        EXPECT_EQ(std::string(e.what()), "the download process ended without a whole answer (killed by signal 9)");
    }
    EXPECT_TRUE(NoChildLeft());
}

}  // namespace
