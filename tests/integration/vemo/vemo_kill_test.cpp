// vemo killed outright (SIGKILL: no handler, no destructor runs) at random
// moments of its start-up and its first frames, a hundred times on one X
// server: the shared memory of its images, its download process and any file
// it was writing must go with it. A System V segment not yet marked for
// removal when its maker dies stays until the machine restarts.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "vemo_test_support.h"

namespace {

#ifdef __SANITIZE_ADDRESS__
// Built with the sanitizers, vemo takes several times longer to make its
// images: the kills spread over a longer start, so that both sides of it
// are still hit.
constexpr int kKillWindowMs = 600;
#else
constexpr int kKillWindowMs = 150;
#endif

using namespace vemotest;
using namespace std::chrono_literals;

// Processes of the group that are still alive (a zombie holds nothing but
// its exit status).
int LiveMembersOf(pid_t group) {
    int live = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = ReadFile("/proc/" + name + "/stat");
        const std::size_t paren = stat.rfind(')');
        char state = 0;
        long parent = 0, pgrp = 0;
        if (paren == std::string::npos || std::sscanf(stat.c_str() + paren + 1, " %c %ld %ld", &state, &parent, &pgrp) != 3)
            continue;
        live += pgrp == group && state != 'Z';
    }
    return live;
}

bool MapsSharedMemory(pid_t pid) {
    const std::string maps = ReadFile("/proc/" + std::to_string(pid) + "/maps");
    return maps.find("/SYSV") != std::string::npos || maps.find("/memfd:") != std::string::npos;
}

std::set<std::string> EntriesUnder(const std::string& dir) {
    std::set<std::string> entries;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        entries.insert(std::filesystem::relative(it->path(), dir, ec).string());
    return entries;
}

TEST(VemoX11Killed, LeavesNoSharedMemoryNoProcessAndNoFileBehind) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    // The size of the measured leaks: an image of 8 MB.
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.Start(1920, 1080)) << "Xvfb did not start";
    ServeProcess serve;
    ASSERT_TRUE(serve.Start(dir));
    // A site that takes the request and never answers: the download process
    // lives for the whole of each such run.
    const int stalled = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(stalled, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(stalled, 64), 0);
    ASSERT_EQ(getsockname(stalled, reinterpret_cast<sockaddr*>(&a), &len), 0);

    // The table from a site, a site that is not there, a site that stalls.
    const std::string servers[3] = {"127.0.0.1:" + std::to_string(serve.port()),
                                    "127.0.0.1:" + std::to_string(ClosedPort()),
                                    "127.0.0.1:" + std::to_string(ntohs(a.sin_port))};
    TempDir profiles[3];
    std::string configs[3];
    std::set<std::string> before[3];
    for (int k = 0; k < 3; ++k) {
        configs[k] = WriteProfile(profiles[k], servers[k]);
        before[k] = EntriesUnder(profiles[k].path());
    }
    const std::string tmp = dir.File("tmp");
    std::filesystem::create_directories(tmp);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    int leakingRuns = 0, holdingImages = 0, beforeImages = 0, downloading = 0;
    // Every other round of the three sites plays a stage at scale 2, whose
    // image is the stage's, blown up by the server.
    auto start = [&](Process& vemo, int run) {
        const int k = run % 3;
        std::vector<std::string> argv{VEMO_BIN, "/s"};
        if (run / 3 % 2 == 1) argv.insert(argv.end(), {"--scale", "2"});
        return vemo.Start(argv, {{"DISPLAY", xvfb.display()},
                                 {"XDG_CONFIG_HOME", configs[k]},
                                 {"XDG_CACHE_HOME", configs[k] + "/cache"},
                                 {"TMPDIR", tmp},
                                 {"XSCREENSAVER_WINDOW", ""}},
                          "", "");
    };
    // Its images are made some 40 to 70 ms in, its frames follow at once;
    // on a busy machine later. The kills spread over twice the slowest
    // start seen here, so that both sides of it are hit however busy.
    int windowMs = kKillWindowMs;
    for (int run : {0, 3}) {
        Process vemo;
        ASSERT_TRUE(start(vemo, run));
        const auto began = Clock::now();
        ASSERT_TRUE(WaitFor([&] { return MapsSharedMemory(vemo.pid()); }, 10s)) << "no images after 10 s";
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
        windowMs = std::max(windowMs, static_cast<int>(2 * ms));
        vemo.Signal(SIGTERM);
        ASSERT_TRUE(vemo.WaitExit(5s));
    }
    for (int k = 0; k < 3; ++k) before[k] = EntriesUnder(profiles[k].path());
    const auto deadline = Clock::now() + 50 * std::chrono::milliseconds(windowMs) + 150s;
    for (int run = 0; run < 100; ++run) {
        ASSERT_LT(Clock::now(), deadline) << "only " << run << " runs in the time allowed";
        const int k = run % 3;
        for (int c; (c = accept(stalled, nullptr, nullptr)) >= 0;) close(c);
        Process vemo;
        ASSERT_TRUE(start(vemo, run));
        const pid_t pid = vemo.pid();
        SleepMs(static_cast<int>(rng() % windowMs));
        const bool image = MapsSharedMemory(pid);
        holdingImages += image;
        beforeImages += k != 2 && !image;
        downloading += LiveMembersOf(pid) > 1;
        vemo.Signal(SIGKILL);
        ASSERT_TRUE(vemo.WaitExit(5s));
        EXPECT_EQ(vemo.status(), 128 + SIGKILL) << "run " << run << " ended before it was killed";

        EXPECT_TRUE(WaitFor([&] { return LiveMembersOf(pid) == 0; }, 3s)) << "run " << run << ": a process stayed";
        // A segment marked for removal goes once the server has noticed the
        // end of the connection; one that is not stays for good, and is
        // removed here after it is counted.
        bool leaked = false;
        const bool gone = WaitFor(
            [&] {
                const std::vector<Segment> left = SegmentsMadeBy(pid);
                for (const Segment& s : left) {
                    if (s.removing) continue;
                    leaked = true;
                    shmctl(s.id, IPC_RMID, nullptr);
                }
                return left.empty();
            },
            3s);
        leakingRuns += leaked;
        EXPECT_FALSE(leaked) << "run " << run << " left a System V segment";
        EXPECT_TRUE(gone) << "run " << run << ": the server still holds a segment";
        EXPECT_EQ(EntriesUnder(profiles[k].path()), before[k]) << "run " << run;
        EXPECT_EQ(EntriesUnder(tmp), std::set<std::string>{}) << "run " << run;
    }
    close(stalled);
    std::printf("killed 100 times within %d ms of the start: %d while holding its images, %d before making them, "
                "%d during a download; %d left a System V segment\n",
                windowMs, holdingImages, beforeImages, downloading, leakingRuns);
    EXPECT_EQ(leakingRuns, 0);
    // The moments covered both sides of the making of the images and the
    // download.
    EXPECT_GE(holdingImages, 10);
    EXPECT_GE(beforeImages, 10);
    EXPECT_GE(downloading, 10);
}

}  // namespace
