#pragma once
// Real servers on loopback for the download tests: a scripted one that can
// misbehave on purpose, and the scorvane serve tool in a child process.

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback port that was free a moment ago: nothing listens there.
int UnusedLoopbackPort();

// Accepts connections one after the other on 127.0.0.1, reads each request
// head and then hands the connection to the script, which answers (or not).
class ScriptedServer {
public:
    using Script = std::function<void(int fd, const std::string& head)>;
    explicit ScriptedServer(Script script);
    ~ScriptedServer();

    int port() const { return port_; }
    std::string Url(const std::string& path) const;
    std::vector<std::string> Heads() const;
    int Connections() const { return connections_; }

    // Helpers for scripts.
    static bool Send(int fd, const std::string& bytes);
    // Closes with a reset instead of an orderly end.
    static void Reset(int fd);
    // Waits until the client goes away or the server stops.
    void WaitForClientToLeave(int fd) const;

private:
    void Run();

    Script script_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
    std::thread thread_;
};

// scorvane serve --port 0 [extra arguments], stopped with SIGTERM.
class ServeProcess {
public:
    explicit ServeProcess(const std::vector<std::string>& extra = {});
    ~ServeProcess();

    int port() const { return port_; }
    std::string Url(const std::string& path) const;
    // Stops the server and returns everything it wrote to stderr.
    std::string StopAndCollectLog();
    int ExitStatus() const { return exitStatus_; }

private:
    pid_t pid_ = -1;
    int errFd_ = -1;
    int port_ = 0;
    int exitStatus_ = -1;
    std::string log_;
};
