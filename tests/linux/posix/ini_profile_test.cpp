#include "platform/posix/ini_profile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "iniprofile.XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        chmod(path_.c_str(), 0755);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& p, const std::string& content) {
    std::ofstream out(p, std::ios::binary);
    out << content;
}

std::set<std::string> Entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

class IniProfileTest : public ::testing::Test {
protected:
    ScratchFolder scratch;
    fs::path File() const { return scratch.path() / "vemo.ini"; }
    IniProfile Profile() const { return IniProfile("vemo", scratch.path().string()); }
    std::string Get(const std::string& entry, const std::string& def = "<default>") {
        return Profile().GetProfileString("Settings", entry, def);
    }
};

TEST(IniProfileLocation, FollowsXdgConfigHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";

    setenv("XDG_CONFIG_HOME", "/cfg/base/", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(IniProfile("vemo").FilePath(), "/cfg/base/vemo/vemo.ini");
    // A relative value is not a base directory.
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(IniProfile("vemo").FilePath(), "/home/someone/.config/vemo/vemo.ini");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(IniProfile("Other").FilePath(), "/home/someone/.config/Other/Other.ini");

    if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
    if (oldHome) setenv("HOME", savedHome.c_str(), 1); else unsetenv("HOME");
}

TEST_F(IniProfileTest, MissingFileFolderOrValueReadsDefault) {
    EXPECT_EQ(IniProfile("vemo", (scratch.path() / "absent").string()).GetProfileString("Settings", "Server", "d"),
              "d");
    WriteFile(File(), "[Settings]\nChampionship=ita\n[Other]\nServer=x\n");
    EXPECT_EQ(Get("Server"), "<default>");
    EXPECT_EQ(Profile().GetProfileString("Missing", "Championship", "ger"), "ger");
}

TEST_F(IniProfileTest, FirstWriteCreatesFoldersAndFile) {
    const fs::path dir = scratch.path() / "config" / "vemo";
    IniProfile profile("vemo", dir.string());
    ASSERT_TRUE(profile.WriteProfileString("Settings", "Championship", "fra"));
    EXPECT_EQ(ReadFile(dir / "vemo.ini"), "[Settings]\nChampionship=fra\n");
    EXPECT_EQ(profile.GetProfileString("Settings", "Championship", "ger"), "fra");
    EXPECT_EQ(fs::status(dir).permissions() & fs::perms::all, fs::perms::owner_all);

    ASSERT_TRUE(profile.WriteProfileString("Settings", "Server", "10.0.0.5:9000"));
    ASSERT_TRUE(profile.WriteProfileString("Settings", "Championship", "esp"));
    EXPECT_EQ(ReadFile(dir / "vemo.ini"), "[Settings]\nChampionship=esp\nServer=10.0.0.5:9000\n");
    EXPECT_EQ(Entries(dir), std::set<std::string>{"vemo.ini"});
}

TEST_F(IniProfileTest, OtherContentIsKeptByteForByte) {
    const std::string before =
        "; written by hand\n"
        "stray line before any section\n"
        "[Display]\n"
        "Championship=not this one\n"
        "\n"
        "[Settings]\n"
        "# the saver's choice\n"
        "Championship = ita   \n"
        "Extra=1\n"
        "\n"
        "; about the next section\n"
        "[Later]\n"
        "Key=Value\n";
    WriteFile(File(), before);
    EXPECT_EQ(Get("Championship"), "ita");

    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Championship", "por"));
    std::string expected = before;
    expected.replace(expected.find("Championship = ita   "), 21, "Championship=por");
    EXPECT_EQ(ReadFile(File()), expected);

    // A new value goes after the section's last value, not past its trailing
    // blank line and comments.
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Server", "h:1"));
    expected.insert(expected.find("Extra=1\n") + 8, "Server=h:1\n");
    EXPECT_EQ(ReadFile(File()), expected);

    // A new section goes at the end, after a blank line.
    ASSERT_TRUE(Profile().WriteProfileString("New", "A", "b"));
    EXPECT_EQ(ReadFile(File()), expected + "\n[New]\nA=b\n");
    EXPECT_EQ(Profile().GetProfileString("Later", "Key", ""), "Value");
    EXPECT_EQ(Profile().GetProfileString("Display", "Championship", ""), "not this one");
}

TEST_F(IniProfileTest, NamesMatchWithoutCaseAndKeepTheirSpelling) {
    WriteFile(File(), "[ settings ]\nCHAMPIONSHIP=swe\n");
    EXPECT_EQ(Get("Championship"), "swe");
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "championship", "nor"));
    EXPECT_EQ(ReadFile(File()), "[ settings ]\nCHAMPIONSHIP=nor\n");
}

TEST_F(IniProfileTest, ValuesReadAsTheWindowsProfileFunctionsDo) {
    WriteFile(File(),
              "[Settings]\n"
              "\tChampionship\t=\t fra \t\n"
              "Empty=\n"
              "Quoted=\"  padded  \"\n"
              "Single='x'\n"
              "Half=\"open\n"
              "Inner=a=b;c#d\n"
              "no equals sign here\n"
              "=nameless\n"
              "[Broken header\n"
              "Later=still in Settings\n"
              "Championship=second occurrence\n"
              "[Settings]\n"
              "Server=in a second section of the same name\n");
    EXPECT_EQ(Get("Championship"), "fra");
    EXPECT_EQ(Get("Empty"), "");  // present but empty is not missing
    EXPECT_EQ(Get("Quoted"), "  padded  ");
    EXPECT_EQ(Get("Single"), "x");
    EXPECT_EQ(Get("Half"), "\"open");
    EXPECT_EQ(Get("Inner"), "a=b;c#d");
    EXPECT_EQ(Get("no equals sign here"), "<default>");
    EXPECT_EQ(Get(""), "<default>");
    EXPECT_EQ(Get("Later"), "still in Settings");
    EXPECT_EQ(Get("Server"), "<default>");
}

TEST_F(IniProfileTest, CrlfFilesStayCrlf) {
    WriteFile(File(), "[Other]\r\nA=1\r\n[Settings]\r\nChampionship=ned\r\n");
    EXPECT_EQ(Get("Championship"), "ned");
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Championship", "bel"));
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Server", "s"));
    ASSERT_TRUE(Profile().WriteProfileString("Third", "B", "2"));
    EXPECT_EQ(ReadFile(File()),
              "[Other]\r\nA=1\r\n[Settings]\r\nChampionship=bel\r\nServer=s\r\n\r\n[Third]\r\nB=2\r\n");
}

TEST_F(IniProfileTest, LastLineWithoutLineBreak) {
    WriteFile(File(), "[Settings]\nChampionship=den");
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Championship", "fin"));
    EXPECT_EQ(ReadFile(File()), "[Settings]\nChampionship=fin");
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Server", "h"));
    EXPECT_EQ(ReadFile(File()), "[Settings]\nChampionship=fin\nServer=h\n");

    WriteFile(File(), "[Other]\nA=1");
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Championship", "isl"));
    EXPECT_EQ(ReadFile(File()), "[Other]\nA=1\n\n[Settings]\nChampionship=isl\n");
}

TEST_F(IniProfileTest, AwkwardValuesRoundTrip) {
    const std::string values[] = {"  leading and trailing  ", "\"quoted\"", "'single'", "a=b", "; not a comment",
                                  "\xFC\xE9", "", "\"", "tab\tinside"};
    for (const std::string& v : values) {
        ASSERT_TRUE(Profile().WriteProfileString("Settings", "Value", v)) << v;
        EXPECT_EQ(Get("Value"), v);
    }
}

TEST_F(IniProfileTest, UnstorableTextIsRefusedAndChangesNothing) {
    const std::string before = "[Settings]\nChampionship=ger\n";
    WriteFile(File(), before);
    EXPECT_FALSE(Profile().WriteProfileString("Settings", "Championship", "a\nInjected=1"));
    EXPECT_FALSE(Profile().WriteProfileString("Settings", "Championship", "a\rb"));
    EXPECT_FALSE(Profile().WriteProfileString("Settings", "Championship", std::string("a\0b", 3)));
    EXPECT_FALSE(Profile().WriteProfileString("Settings", "Key=Value", "x"));
    EXPECT_FALSE(Profile().WriteProfileString("Settings", "[Section]", "x"));
    EXPECT_FALSE(Profile().WriteProfileString("Settings", " padded", "x"));
    EXPECT_FALSE(Profile().WriteProfileString("Settings", "", "x"));
    EXPECT_FALSE(Profile().WriteProfileString("Set]tings", "Championship", "x"));
    EXPECT_FALSE(Profile().WriteProfileString("", "Championship", "x"));
    EXPECT_EQ(ReadFile(File()), before);
}

// Runs `write` in a child process under the given restriction and returns
// the child's result: 1 written, 0 refused, anything else a broken child.
template <typename Restrict>
int WriteInChild(Restrict restrict, const IniProfile& profile, const std::string& value) {
    const pid_t pid = fork();
    if (pid == 0) {
        restrict();
        IniProfile copy = profile;
        _exit(copy.WriteProfileString("Settings", "Championship", value) ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(IniProfileTest, WriteFailingMidwayLeavesTheOldFile) {
    const std::string before = "[Settings]\nChampionship=aut\n; keep me\n";
    WriteFile(File(), before);
    // The disk "fills up" after 16 bytes of the new file.
    auto smallDisk = [] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    EXPECT_EQ(WriteInChild(smallDisk, Profile(), std::string(200, 'x')), 0);
    EXPECT_EQ(ReadFile(File()), before);
    EXPECT_EQ(Entries(scratch.path()), std::set<std::string>{"vemo.ini"});
    EXPECT_EQ(Get("Championship"), "aut");
}

TEST_F(IniProfileTest, ReadOnlyFolderMakesWriteFail) {
    const std::string before = "[Settings]\nChampionship=sui\n";
    WriteFile(File(), before);
    chmod(File().c_str(), 0644);
    auto readOnly = [this] {
        // Root writes anywhere; as anybody else the folder is read-only.
        if (geteuid() == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(9);
        } else {
            chmod(scratch.path().c_str(), 0555);
        }
    };
    EXPECT_EQ(WriteInChild(readOnly, Profile(), "cze"), 0);
    chmod(scratch.path().c_str(), 0755);
    EXPECT_EQ(ReadFile(File()), before);
    EXPECT_EQ(Entries(scratch.path()), std::set<std::string>{"vemo.ini"});
}

TEST_F(IniProfileTest, UnreadableProfileIsNeverReplaced) {
    fs::create_directory(File());  // a folder where the file should be
    EXPECT_EQ(Get("Championship", "ger"), "ger");
    EXPECT_FALSE(Profile().WriteProfileString("Settings", "Championship", "fra"));
    EXPECT_TRUE(fs::is_directory(File()));
}

TEST_F(IniProfileTest, LinkAndPermissionsSurviveAWrite) {
    const fs::path real = scratch.path() / "real.ini";
    WriteFile(real, "[Settings]\nChampionship=pol\n");
    chmod(real.c_str(), 0640);
    fs::create_symlink("real.ini", File());
    ASSERT_TRUE(Profile().WriteProfileString("Settings", "Championship", "hun"));
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_EQ(ReadFile(real), "[Settings]\nChampionship=hun\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Only a regular file of at most 1 MiB is read; a FIFO (which once blocked
// start-up for good), a device and a huge file read as no settings, and the
// reason is told once.
TEST_F(IniProfileTest, OnlyARegularFileOfAtMostOneMebibyteIsRead) {
    alarm(60);  // a FIFO opened for a blocking read would hang here
    const std::string tail = "\n[Settings]\nChampionship=nor\n";
    WriteFile(File(), std::string(1024 * 1024 - tail.size(), ';') + tail);
    EXPECT_EQ(Get("Championship"), "nor");
    WriteFile(File(), std::string(1024 * 1024 + 1 - tail.size(), ';') + tail);

    struct Case { const char* what; std::function<void()> make; };
    const std::vector<Case> cases = {
        {"larger than 1 MiB", [] {}},
        {"larger than 1 MiB", [this] { fs::resize_file(File(), 50u << 20); }},
        {"not a regular file", [this] { fs::remove(File()); ASSERT_EQ(mkfifo(File().c_str(), 0600), 0); }},
        {"not a regular file", [this] { fs::remove(File()); fs::create_symlink("/dev/zero", File()); }},
    };
    for (const Case& c : cases) {
        c.make();
        std::vector<std::string> told;
        IniProfile profile = Profile();
        profile.OnProblem([&told](const std::string& why) { told.push_back(why); });
        EXPECT_EQ(profile.GetProfileString("Settings", "Championship", "ger"), "ger") << c.what;
        EXPECT_EQ(profile.GetProfileString("Settings", "Server", "default"), "default") << c.what;
        ASSERT_EQ(told.size(), 1u) << c.what;
        EXPECT_EQ(told[0], "the settings file " + File().string() + " is not read (" + c.what + "); the defaults apply");
        // Nor is it replaced.
        EXPECT_FALSE(profile.WriteProfileString("Settings", "Championship", "swe"));
        EXPECT_NE(profile.WriteError().find(c.what), std::string::npos) << profile.WriteError();
    }
    EXPECT_TRUE(fs::is_symlink(File()));
    alarm(0);
}

TEST_F(IniProfileTest, ReadOnlyFileOrFolderIsNotReplacedEvenByRoot) {
    const std::string before = "[Settings]\nChampionship=den\n";
    WriteFile(File(), before);
    chmod(File().c_str(), 0444);
    IniProfile profile = Profile();
    EXPECT_FALSE(profile.WriteProfileString("Settings", "Championship", "fin"));
    EXPECT_EQ(profile.WriteError(), File().string() + " is read-only");
    EXPECT_EQ(ReadFile(File()), before);
    EXPECT_EQ(fs::status(File()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    chmod(File().c_str(), 0644);
    chmod(scratch.path().c_str(), 0555);
    EXPECT_FALSE(profile.WriteProfileString("Settings", "Championship", "fin"));
    EXPECT_EQ(profile.WriteError(), "the folder " + scratch.path().string() + " is read-only");
    chmod(scratch.path().c_str(), 0755);
    EXPECT_EQ(ReadFile(File()), before);
    EXPECT_EQ(Entries(scratch.path()), std::set<std::string>{"vemo.ini"});
}

}  // namespace
