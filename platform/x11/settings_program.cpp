#include "platform/x11/settings_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/latin1.h"
#include "platform/posix/child_process.h"
#include "platform/posix/user_folders.h"

#ifndef VEMO_LIBEXECDIR
#define VEMO_LIBEXECDIR "/usr/libexec"
#endif

extern char** environ;

namespace {

constexpr const char kProgramName[] = "vemo-settings";

}  // namespace

std::string SettingsProgramPath() {
    const std::filesystem::path folder = ProgramFolder();
    if (!folder.empty()) {
        const std::string path = (folder / kProgramName).string();
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return std::string(VEMO_LIBEXECDIR) + "/" + kProgramName;
}

bool RunSettingsProgram(const std::string& program, bool activeParent, SettingsChoice& choice,
                        const std::vector<std::string>& clubs, std::string& error) {
    error.clear();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("cannot start ") + kProgramName + ": " + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> args{program};
    if (activeParent) args.emplace_back("--transient");
    for (const std::string& club : clubs) {
        args.emplace_back("--club");
        args.push_back(Latin1ToUtf8(club));
    }
    args.emplace_back("--team");
    args.push_back(Latin1ToUtf8(choice.team));
    args.emplace_back("--rotation");
    args.push_back(choice.rotation);
    args.emplace_back("--");
    args.push_back(choice.championship);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        error = std::string("cannot start ") + program + ": " + std::strerror(spawned);
        return false;
    }
    std::string chosen;
    char buffer[256];
    for (;;) {
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got > 0) {
            chosen.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(out[0]);
    const int status = WaitForExit(pid);
    if (WIFSIGNALED(status)) {
        error = std::string(kProgramName) + " ended by signal " + std::to_string(WTERMSIG(status));
        return false;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 2;
    if (code == 1) return false;  // cancelled
    if (code != 0) {
        // The program has told the user why on the shared error output;
        // exec failing in the child (no such file) ends it with 127.
        error = code == 127 ? std::string("cannot run ") + program : std::string(kProgramName) + " failed";
        return false;
    }
    // Three lines: code, club, rotation.
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < chosen.size()) {
        std::size_t end = chosen.find('\n', at);
        if (end == std::string::npos) end = chosen.size();
        lines.push_back(chosen.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() != 3) {
        error = std::string(kProgramName) + " answered in a form vemo does not read";
        return false;
    }
    choice.championship = lines[0];
    choice.team = TransliterateToLatin1(lines[1]);
    choice.rotation = lines[2];
    return true;
}
