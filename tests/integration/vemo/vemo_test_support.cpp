#include "vemo_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace vemotest {

void SleepMs(int ms) {
    struct timespec ts {ms / 1000, (ms % 1000) * 1'000'000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vemo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

Process::~Process() { Kill(); }

bool Process::Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                    const std::string& stdoutFile, const std::string& stderrFile, int keepFd) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq != nullptr) merged[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& [name, value] : env) {
        if (value.empty()) {
            merged.erase(name);
        } else {
            merged[name] = value;
        }
    }
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : merged) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // A group of its own, so that whatever it starts goes with it.
        setpgid(0, 0);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        const int out = stdoutFile.empty() ? devnull : open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = stderrFile.empty() ? devnull : open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, pid);
    pid_ = pid;
    exited_ = false;
    return true;
}

bool Process::running() {
    if (pid_ < 0 || exited_) return false;
    int raw = 0;
    const pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
        exited_ = true;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return false;
    }
    return r == 0;
}

bool Process::WaitExit(std::chrono::milliseconds timeout) {
    if (pid_ < 0) return true;
    return WaitFor([this] { return !running(); }, timeout);
}

void Process::Signal(int signal) {
    if (pid_ > 0 && !exited_) kill(pid_, signal);
}

void Process::Kill() {
    if (pid_ < 0) return;
    if (!exited_) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        int raw = 0;
        waitpid(pid_, &raw, 0);
        exited_ = true;
    } else {
        // Anything it left behind in its group.
        kill(-pid_, SIGKILL);
    }
    pid_ = -1;
}

int RunCommand(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               std::chrono::milliseconds timeout, std::string* output) {
    TempDir dir;
    const std::string file = dir.File("output");
    Process p;
    if (!p.Start(argv, env, file, file)) return -1;
    if (!p.WaitExit(timeout)) {
        p.Kill();
        return -1;
    }
    if (output != nullptr) *output = ReadFile(file);
    return p.status();
}

bool XvfbServer::Start(int width, int height, int depth, const std::vector<std::string>& options) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    std::vector<std::string> argv{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                  "-nolisten", "tcp", "-wr", "-noreset"};
    argv.insert(argv.end(), options.begin(), options.end());
    const bool started = process_.Start(argv, {}, "", "", fds[1]);
    close(fds[1]);
    if (!started) {
        close(fds[0]);
        return false;
    }
    // The server writes its display number once it accepts connections.
    std::string number;
    const auto end = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < end) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            if (!process_.running()) break;
            continue;
        }
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) break;
        if (c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) return false;
    display_ = ":" + number;
    return true;
}

XvfbServer::~XvfbServer() {
    process_.Signal(SIGTERM);
    if (!process_.WaitExit(std::chrono::seconds(5))) process_.Kill();
}

bool ServeProcess::Start(const TempDir& dir) {
    log_ = dir.File("serve.log");
    if (!process_.Start({SCORVANE_TOOL, "serve", "--bind", "127.0.0.1", "--port", "0", "--results", SCORVANE_RESULTS_SNAPSHOT}, {}, "", log_)) return false;
    const std::string marker = "scorvane serve: listening on 127.0.0.1:";
    return WaitFor(
        [&] {
            const std::string text = ReadFile(log_);
            const std::size_t at = text.find(marker);
            if (at == std::string::npos || text.find('\n', at) == std::string::npos) return false;
            port_ = std::atoi(text.c_str() + at + marker.size());
            return true;
        },
        std::chrono::seconds(10));
}

ServeProcess::~ServeProcess() {
    process_.Signal(SIGTERM);
    if (!process_.WaitExit(std::chrono::seconds(5))) process_.Kill();
}

std::vector<std::string> ServeProcess::Requests() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(log_));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("scorvane serve:", 0) != 0) lines.push_back(line);
    }
    return lines;
}

int ClosedPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    close(s);
    return port;
}

std::string WriteProfile(const TempDir& dir, const std::string& server, const std::string& championship) {
    const std::string cfg = dir.File("cfg");
    std::filesystem::create_directories(cfg + "/vemo");
    std::string ini = "[Settings]\nServer=" + server + "\n";
    if (!championship.empty()) ini += "Championship=" + championship + "\n";
    WriteFile(cfg + "/vemo/vemo.ini", ini);
    return cfg;
}

std::vector<Segment> SegmentsMadeBy(pid_t creator) {
    std::vector<Segment> out;
    std::istringstream in(ReadFile("/proc/sysvipc/shm"));
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long long key = 0, size = 0;
        std::string mode;
        pid_t made = 0, last = 0;
        Segment s;
        if (!(fields >> key >> s.id >> mode >> size >> made >> last >> s.attached) || made != creator) continue;
        s.removing = (std::stoul(mode, nullptr, 8) & SHM_DEST) != 0;
        out.push_back(s);
    }
    return out;
}

namespace {

bool ParseQuoted(const std::string& line, std::size_t start, std::string& out) {
    if (start >= line.size() || line[start] != '"') return false;
    out.clear();
    for (std::size_t i = start + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= line.size()) return false;
        switch (line[i]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x':
            if (i + 2 >= line.size()) return false;
            out += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            i += 2;
            break;
        default: out += line[i]; break;
        }
    }
    return false;
}

}  // namespace

std::vector<TraceFrame> ReadTraceFrames(const std::string& path, std::string* header) {
    std::vector<TraceFrame> frames;
    std::istringstream in(ReadFile(path));
    std::string line;
    bool first = true;
    int width = 0, height = 0;
    while (std::getline(in, line)) {
        if (first) {
            if (header != nullptr) *header = line;
            std::sscanf(line.c_str(), "vemo %*s %dx%d", &width, &height);
        }
        first = false;
        if (line.rfind("frame ", 0) == 0) {
            frames.push_back(TraceFrame{std::atoi(line.c_str() + 6), {}, 0});
            continue;
        }
        if (frames.empty()) continue;
        long long x0, y0, x1, y1;
        const char* rect = line.c_str() + line.find(' ');
        if (line.rfind("image ", 0) == 0) rect = std::strchr(rect + 1, ' ');
        if (rect != nullptr && std::sscanf(rect, "%lld %lld %lld %lld", &x0, &y0, &x1, &y1) == 4 && x0 < width &&
            y0 < height && x1 > 0 && y1 > 0 && x0 < x1 && y0 < y1) {
            ++frames.back().opsOnBoard;
        }
        if (line.rfind("text ", 0) != 0) continue;
        TraceText t;
        char color[8] = {};
        unsigned format = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "text %d %d %d %d #%6s %u %n", &t.left, &t.top, &t.right, &t.bottom, color,
                        &format, &used) != 6) {
            continue;
        }
        t.rgb = static_cast<std::uint32_t>(std::strtoul(color, nullptr, 16));
        if (!ParseQuoted(line, static_cast<std::size_t>(used), t.text)) continue;
        frames.back().texts.push_back(std::move(t));
    }
    // The last frame may still be being written.
    if (!frames.empty()) frames.pop_back();
    return frames;
}

}  // namespace vemotest
