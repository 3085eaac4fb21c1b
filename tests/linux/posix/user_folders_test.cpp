#include "platform/posix/user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(UserCacheFolder, AbsoluteXdgFirstThenHomeAndNeverRelative) {
    ScopedEnv home("HOME", "/home/ann");
    {
        ScopedEnv xdg("XDG_CACHE_HOME", "/var/cache/ann");
        EXPECT_EQ(UserCacheFolder("vemo"), fs::path("/var/cache/ann/vemo"));
    }
    {
        // A relative value would put the cache wherever the saver was started.
        ScopedEnv xdg("XDG_CACHE_HOME", "cache");
        EXPECT_EQ(UserCacheFolder("vemo"), fs::path("/home/ann/.cache/vemo"));
    }
    ScopedEnv xdg("XDG_CACHE_HOME", nullptr);
    EXPECT_EQ(UserCacheFolder("scorvane"), fs::path("/home/ann/.cache/scorvane"));
    ScopedEnv noHome("HOME", "");
    EXPECT_TRUE(UserCacheFolder("vemo").empty());
}

TEST(InstalledDataFolder, BesideTheProgramBeforeTheKnownPlaces) {
    const fs::path program = ProgramFolder();
    ASSERT_TRUE(program.is_absolute()) << program;
    const std::string known = fs::temp_directory_path().string();

    // The program's own folder, reached through a path relative to it.
    const fs::path up = fs::path("..") / program.filename();
    EXPECT_EQ(InstalledDataFolder(up, {known.c_str()}), program);
    EXPECT_EQ(InstalledDataFolder("no-such-folder", {"/no/such/folder", known.c_str()}), fs::path(known));
    EXPECT_TRUE(InstalledDataFolder("no-such-folder", {"/no/such/folder"}).empty());
}

}  // namespace
