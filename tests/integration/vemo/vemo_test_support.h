#pragma once
// Real processes for the vemo tests: an Xvfb server of its own per test,
// scorvane serve on loopback, vemo itself and xdotool, each started with a
// bounded wait and killed (with its process group) when the test ends.

#include <sys/types.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vemotest {

using Clock = std::chrono::steady_clock;

// A directory of its own under the system's temporary directory, removed
// with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);

class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts argv[0] (searched in PATH) with the current environment plus
    // `env` (an empty value removes the variable), stdout and stderr going
    // to the files given (empty: /dev/null). `keepFd`, when not -1, stays
    // open in the child under the same number.
    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& stdoutFile, const std::string& stderrFile, int keepFd = -1);

    pid_t pid() const { return pid_; }
    bool running();
    // Waits up to `timeout` for the exit; false when it is still running.
    bool WaitExit(std::chrono::milliseconds timeout);
    // The exit status after WaitExit (128 + signal number after a signal).
    int status() const { return status_; }
    void Signal(int signal);
    void Kill();

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = -1;
};

// Runs a command to its end within `timeout`; its exit status, or -1 when
// it had to be killed. `output` receives stdout and stderr.
int RunCommand(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               std::chrono::milliseconds timeout, std::string* output = nullptr);

class XvfbServer {
public:
    // "-wr": a white root window, so that anything the saver draws outside
    // its window would show. `options` go to Xvfb as well.
    bool Start(int width, int height, int depth = 24, const std::vector<std::string>& options = {});
    ~XvfbServer();
    const std::string& display() const { return display_; }

private:
    Process process_;
    std::string display_;
};

class ServeProcess {
public:
    bool Start(const TempDir& dir);
    ~ServeProcess();
    int port() const { return port_; }
    // The request lines logged so far.
    std::vector<std::string> Requests() const;

private:
    Process process_;
    std::string log_;
    int port_ = 0;
};

// A loopback port nobody listens on (bound once, then closed).
int ClosedPort();

// Writes $dir/cfg/vemo/vemo.ini with the server and returns $dir/cfg, the
// value for XDG_CONFIG_HOME.
std::string WriteProfile(const TempDir& dir, const std::string& server, const std::string& championship = "");

// Polls `done` every `interval` until it is true or `timeout` has passed.
template <typename F>
bool WaitFor(F done, std::chrono::milliseconds timeout,
             std::chrono::milliseconds interval = std::chrono::milliseconds(20)) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= end) return false;
        struct timespec ts {0, static_cast<long>(interval.count()) * 1'000'000L};
        nanosleep(&ts, nullptr);
    }
}

void SleepMs(int ms);

// A System V shared-memory segment, as /proc/sysvipc/shm lists it.
struct Segment {
    int id = -1;
    bool removing = false;  // goes by itself once nobody has it attached
    int attached = 0;       // processes that have it attached
};

// The segments that process `creator` made and that still exist.
std::vector<Segment> SegmentsMadeBy(pid_t creator);

// One drawing operation of a vemo trace file.
struct TraceText {
    int left = 0, top = 0, right = 0, bottom = 0;
    std::uint32_t rgb = 0;  // 0xRRGGBB
    std::string text;       // unescaped bytes
};

struct TraceFrame {
    int number = 0;
    std::vector<TraceText> texts;
    // Drawing operations that reach into the board (its size from the
    // trace's header): a ball gone past the edge is still drawn, and
    // changes no pixel.
    int opsOnBoard = 0;
};

// The frames of a trace that are complete (followed by another frame
// header), the last one of them at the back. `header` gets the first line.
std::vector<TraceFrame> ReadTraceFrames(const std::string& path, std::string* header = nullptr);

}  // namespace vemotest
