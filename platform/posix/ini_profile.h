#pragma once
// The Linux profile: an INI file <app>.ini in the XDG configuration folder
// of the application, read and written with the Windows profile semantics.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include "app/profile.h"

// A settings file larger than this is not read: a profile holds a few lines.
inline constexpr std::size_t kMaxProfileBytes = 1024 * 1024;

class IniProfile : public Profile {
public:
    // $XDG_CONFIG_HOME/<appName>/<appName>.ini, $XDG_CONFIG_HOME defaulting
    // to $HOME/.config.
    explicit IniProfile(const std::string& appName);
    // <directory>/<appName>.ini.
    IniProfile(const std::string& appName, const std::string& directory);

    // Section and value names are matched without regard to case, a missing
    // file, section or value reads as the default, and a value enclosed in a
    // pair of quotes loses them. Anything but a regular file of at most
    // kMaxProfileBytes (a FIFO, a device, a folder) reads as no settings at
    // all, and the reason goes to the problem handler.
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) override;
    // Replaces the value in place, or adds it (and its section); everything
    // else in the file is kept byte for byte. The new file replaces the old
    // one in a single rename, so a failure at any point leaves the old file.
    // A file or folder whose permission bits make it read-only is left alone,
    // whoever runs the program. On failure WriteError() says why.
    bool WriteProfileString(const std::string& section, const std::string& entry,
                            const std::string& value) override;
    const std::string& WriteError() const { return writeError_; }

    // Told, once per distinct reason, when the file exists but is not read.
    void OnProblem(std::function<void(const std::string&)> handler) { onProblem_ = std::move(handler); }

    // Empty when no configuration folder can be determined.
    const std::string& FilePath() const { return path_; }

    static std::string DefaultDirectory(const std::string& appName);

private:
    bool Write(const std::string& section, const std::string& entry, const std::string& value);
    void Report(const std::string& problem);

    std::string directory_;
    std::string path_;
    std::string writeError_;
    std::string reported_;
    std::function<void(const std::string&)> onProblem_;
};
