// The probe is run for real inside private network namespaces (unshare -rn),
// where the test decides which interfaces exist.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome RunShell(const std::string& command) {
    Outcome o;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return o;
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) o.output.append(buffer, n);
    const int raw = pclose(p);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

std::string InNamespace(const std::string& setup) {
    return std::string("unshare -rn sh -c '") + setup + CONNECTIVITY_PROBE + "'";
}

class Connectivity : public ::testing::Test {
protected:
    void SetUp() override {
        if (RunShell("unshare -rn true").status != 0) GTEST_SKIP() << "private network namespaces are not available";
    }
};

TEST_F(Connectivity, OnlyLoopbackIsNotConnected) {
    Outcome down = RunShell(InNamespace(""));
    EXPECT_EQ(down.status, 0);
    EXPECT_EQ(down.output, "not connected\n");

    // Loopback up, with 127.0.0.1 and ::1, still does not count.
    Outcome up = RunShell(InNamespace("ip link set lo up && "));
    EXPECT_EQ(up.status, 0);
    EXPECT_EQ(up.output, "not connected\n");
}

TEST_F(Connectivity, InterfaceMustBeUpAndAddressed) {
    const std::string veth = "ip link add v0 type veth peer name v1 && ";
    if (RunShell(InNamespace(veth)).status != 0) GTEST_SKIP() << "veth interfaces cannot be created here";

    // Up, but without carrier no address is ever assigned to it.
    EXPECT_EQ(RunShell(InNamespace(veth + "ip link set v0 up && ")).output, "not connected\n");
    // An address on an interface that is down.
    EXPECT_EQ(RunShell(InNamespace(veth + "ip addr add 192.0.2.77/24 dev v0 && ")).output, "not connected\n");
    // Up and addressed: connected, over IPv4 as over IPv6.
    EXPECT_EQ(RunShell(InNamespace(veth + "ip addr add 192.0.2.77/24 dev v0 && ip link set v0 up && ")).output,
              "connected\n");
    EXPECT_EQ(RunShell(InNamespace(veth + "ip -6 addr add 2001:db8::7/64 dev v0 nodad && ip link set v0 up && "))
                  .output,
              "connected\n");
}

}  // namespace
