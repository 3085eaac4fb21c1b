// scorvane_first_frame: starts a program that writes a frame trace (vemo
// --trace FILE) and reports, in milliseconds from just before its exec, when
// each of its first frames was complete.
//
// The saver writes "frame N" and then the frame's drawing operations, and
// flushes the file once the frame is drawn, just before it is presented. So
// frame N is complete at the last write to the file before the one that
// brings "frame N+1". Writes are seen through inotify as they happen.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: scorvane_first_frame --trace FILE [--frames N] [--timeout SECONDS] -- PROGRAM [ARG...]\n"
    "\n"
    "Runs PROGRAM, which must write its frame trace to FILE, and prints\n"
    "  first_line=TEXT      the trace's first line\n"
    "  frameK_ms=T          for K = 1 to N (default 2): when frame K was\n"
    "                       complete, in ms after the exec\n"
    "then stops PROGRAM with SIGTERM. Exit status 1 when the frames did not\n"
    "come within the timeout (default 10 s) or PROGRAM ended first.\n";

double NowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int Stop(pid_t child) {
    kill(child, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(child, &status, WNOHANG) == child) return status;
        usleep(20000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::string trace;
    int frames = 2;
    double timeoutMs = 10000;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "scorvane_first_frame: %s needs a value\n", a.c_str());
            return 2;
        }
        if (a == "--trace") {
            trace = argv[++i];
        } else if (a == "--frames") {
            frames = std::atoi(argv[++i]);
        } else if (a == "--timeout") {
            timeoutMs = std::atof(argv[++i]) * 1000.0;
        } else {
            std::fprintf(stderr, "scorvane_first_frame: unknown option '%s'\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (trace.empty() || i >= argc || frames < 1 || timeoutMs <= 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    // The directory is watched, not the file: the program creates the file.
    unlink(trace.c_str());
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch < 0 || inotify_add_watch(watch, DirName(trace).c_str(), IN_MODIFY | IN_CREATE) < 0) {
        std::fprintf(stderr, "scorvane_first_frame: cannot watch %s: %s\n", DirName(trace).c_str(), std::strerror(errno));
        return 1;
    }
    const std::string name = BaseName(trace);

    const double start = NowMs();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("scorvane_first_frame: fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[i], argv + i);
        std::fprintf(stderr, "scorvane_first_frame: cannot run %s: %s\n", argv[i], std::strerror(errno));
        _exit(127);
    }

    std::string text;
    int fd = -1;
    std::vector<double> done(static_cast<std::size_t>(frames) + 1, -1.0);
    double lastWrite = -1.0;  // the last write that brought no new frame header
    int resolved = 0;         // frames 1..resolved are known
    char events[4096];
    bool failed = false;
    while (resolved < frames) {
        const double now = NowMs();
        if (now - start > timeoutMs) {
            std::fprintf(stderr, "scorvane_first_frame: %d frames not complete after %.0f ms\n", frames, timeoutMs);
            failed = true;
            break;
        }
        int status;
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "scorvane_first_frame: %s ended before its frame %d\n", argv[i], resolved + 1);
            return 1;
        }
        pollfd p{watch, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const double seen = NowMs();
        bool ours = false;
        for (;;) {
            const ssize_t n = read(watch, events, sizeof events);
            if (n <= 0) break;
            for (ssize_t off = 0; off < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + off);
                if (e->len > 0 && name == e->name) ours = true;
                off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        if (!ours) continue;
        if (fd < 0) fd = open(trace.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const std::size_t before = text.size();
        char buffer[65536];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() == before) continue;
        // Frame K is complete once frame K+1's header has arrived.
        while (resolved < frames) {
            const std::string next = "frame " + std::to_string(resolved + 2) + "\n";
            const bool arrived = text.compare(0, next.size(), next) == 0 ||
                                 text.find("\n" + next, before > next.size() ? before - next.size() - 1 : 0) != std::string::npos;
            if (!arrived) break;
            ++resolved;
            done[static_cast<std::size_t>(resolved)] = lastWrite;
        }
        lastWrite = seen;
    }
    Stop(child);
    if (fd >= 0) close(fd);
    if (failed) return 1;
    std::printf("first_line=%s\n", text.substr(0, text.find('\n')).c_str());
    for (int k = 1; k <= frames; ++k) std::printf("frame%d_ms=%.2f\n", k, done[static_cast<std::size_t>(k)] - start);
    return 0;
}
