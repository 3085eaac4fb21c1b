#include "platform/posix/user_folders.h"

#include <cstdlib>
#include <string>
#include <system_error>

std::filesystem::path UserCacheFolder(std::string_view name) {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg) / name;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::filesystem::path(home) / ".cache" / name;
    return {};
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

std::filesystem::path InstalledDataFolder(const std::filesystem::path& besideProgram,
                                          std::initializer_list<const char*> known) {
    std::error_code ec;
    const std::filesystem::path program = ProgramFolder();
    if (!program.empty()) {
        const std::filesystem::path beside = (program / besideProgram).lexically_normal();
        if (std::filesystem::is_directory(beside, ec)) return beside;
    }
    for (const char* folder : known) {
        if (std::filesystem::is_directory(folder, ec)) return folder;
    }
    return {};
}
