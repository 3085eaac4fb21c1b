#pragma once
// The one place the saver keeps settings: string values by section and name,
// with the semantics of the Windows profile functions (a missing value reads
// as the caller's default; writing creates what is missing).

#include <string>

class Profile {
public:
    virtual ~Profile() = default;
    virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& defaultValue) = 0;
    // False when the value could not be stored; nothing half-written is left.
    virtual bool WriteProfileString(const std::string& section, const std::string& entry,
                                    const std::string& value) = 0;
};

// Names and defaults shared by every front end and by the tools.
inline constexpr const char kSettingsSection[] = "Settings";
inline constexpr const char kChampionshipEntry[] = "Championship";
inline constexpr const char kDefaultChampionship[] = "ger";
// A standings site, "host" or "host:port". The savers read none unless one
// is set; the tools read the one `scorvane serve` makes when none is named.
inline constexpr const char kServerEntry[] = "Server";
inline constexpr const char kDefaultServer[] = "127.0.0.1:8080";
// Where the savers read open match results when no site is set: a base URL
// under which SEASON/LEAGUE.json files lie.
inline constexpr const char kResultsEntry[] = "Results";
inline constexpr const char kDefaultResults[] = "https://raw.githubusercontent.com/openfootball/football.json/master";
// The club to pick out of the table, matched as whole words; none when empty.
inline constexpr const char kTeamEntry[] = "Team";
// Association codes shown in turn, one league per scene, separated by commas;
// when set it takes the place of the single championship.
inline constexpr const char kRotationEntry[] = "Rotation";
// How large a stage pixel is on the screen: "auto" or a figure from 1 to 4
// (see ParseStageScale), for every monitor.
inline constexpr const char kScaleEntry[] = "Scale";
inline constexpr const char kDefaultScale[] = "auto";
