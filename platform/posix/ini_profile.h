#pragma once
// The Linux profile: an INI file <app>.ini in the XDG configuration folder
// of the application, read and written with the Windows profile semantics.

#include <string>

#include "app/profile.h"

class IniProfile : public Profile {
public:
    // $XDG_CONFIG_HOME/<appName>/<appName>.ini, $XDG_CONFIG_HOME defaulting
    // to $HOME/.config.
    explicit IniProfile(const std::string& appName);
    // <directory>/<appName>.ini.
    IniProfile(const std::string& appName, const std::string& directory);

    // Section and value names are matched without regard to case, a missing
    // file, section or value reads as the default, and a value enclosed in a
    // pair of quotes loses them.
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) override;
    // Replaces the value in place, or adds it (and its section); everything
    // else in the file is kept byte for byte. The new file replaces the old
    // one in a single rename, so a failure at any point leaves the old file.
    bool WriteProfileString(const std::string& section, const std::string& entry,
                            const std::string& value) override;

    // Empty when no configuration folder can be determined.
    const std::string& FilePath() const { return path_; }

    static std::string DefaultDirectory(const std::string& appName);

private:
    std::string directory_;
    std::string path_;
};
