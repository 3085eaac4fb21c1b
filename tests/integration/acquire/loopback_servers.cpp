#include "tests/integration/acquire/loopback_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listenFd_, 16) != 0) {
        throw std::runtime_error(std::string("scripted server: ") + std::strerror(errno));
    }
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    if (pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("scripted server: pipe");
    thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    [[maybe_unused]] ssize_t ignored = write(stopPipe_[1], "x", 1);
    thread_.join();
    close(listenFd_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

int UnusedLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

std::string ScriptedServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> ScriptedServer::Heads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heads_;
}

bool ScriptedServer::Send(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void ScriptedServer::Reset(int fd) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

void ScriptedServer::WaitForClientToLeave(int fd) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char buffer[512];
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, 200) <= 0) continue;
        if (fds[1].revents != 0) return;
        if (recv(fd, buffer, sizeof buffer, 0) <= 0) return;
    }
}

void ScriptedServer::Run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        timeval limit{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::string head;
        char buffer[1024];
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            head.append(buffer, static_cast<size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            heads_.push_back(head);
        }
        script_(fd, head);
        close(fd);
    }
}

ServeProcess::ServeProcess(const std::vector<std::string>& extra) {
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("serve: pipe");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(err[1], 2);
        std::vector<std::string> words = {SCORVANE_TOOL, "serve", "--port", "0"};
        words.insert(words.end(), extra.begin(), extra.end());
        // The snapshot of the sources unless told otherwise: the site never
        // reaches for the network.
        if (std::find(extra.begin(), extra.end(), "--results") == extra.end() &&
            std::find(extra.begin(), extra.end(), "--data") == extra.end()) {
            words.insert(words.end(), {"--results", SCORVANE_RESULTS_SNAPSHOT});
        }
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(err[1]);
    errFd_ = err[0];
    // The first line names the port.
    const std::string marker = "listening on 127.0.0.1:";
    char c;
    std::string line;
    while (read(errFd_, &c, 1) == 1) {
        if (c == '\n') break;
        line += c;
    }
    log_ = line + "\n";
    const size_t at = line.find(marker);
    if (at == std::string::npos) throw std::runtime_error("serve did not start: " + line);
    port_ = std::stoi(line.substr(at + marker.size()));
}

ServeProcess::~ServeProcess() {
    if (pid_ > 0) StopAndCollectLog();
}

std::string ServeProcess::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string ServeProcess::StopAndCollectLog() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        char buffer[4096];
        ssize_t n;
        while ((n = read(errFd_, buffer, sizeof buffer)) > 0) log_.append(buffer, static_cast<size_t>(n));
        int status = 0;
        waitpid(pid_, &status, 0);
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        close(errFd_);
        pid_ = -1;
    }
    return log_;
}
