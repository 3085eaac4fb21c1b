#include "app/startup.h"

#include <cctype>
#include <cstdlib>

#include "app/association_table.h"

std::string theStatusText;
std::string theTeamName;

RunMode ParseCommandLine(const std::string& commandLine) {
    std::string lower = commandLine;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    RunMode mode;
    const std::size_t i = lower.find_first_of("/-");
    if (i != std::string::npos && i + 1 < lower.size()) {
        mode.letter = lower[i + 1];
        if (mode.letter == 'p' && lower.size() > i + 3) {
            // atoi semantics: leading blanks skipped, a separator reads as 0.
            long value = std::atol(lower.c_str() + i + 2);
            mode.parent = static_cast<std::uintptr_t>(value);
        }
    }
    return mode;
}

std::string EncodeUrlComponent(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (std::isalnum(c) && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string StandingsPagePath(const std::string& code) {
    return kStandingsPathPrefix + EncodeUrlComponent(code) + kStandingsPathSuffix;
}

std::string ComposeStandingsUrl(const std::string& server, const std::string& code) {
    return "http://" + server + StandingsPagePath(code);
}

std::vector<std::string> ParseRotation(const std::string& text, std::vector<std::string>& unknown) {
    std::vector<std::string> codes;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find(',', at);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(at, end - at);
        const std::size_t first = item.find_first_not_of(" \t");
        item = first == std::string::npos ? "" : item.substr(first, item.find_last_not_of(" \t") - first + 1);
        if (!item.empty()) (AssociationNameForCode(item.c_str())[0] == '\0' ? unknown : codes).push_back(item);
        at = end + 1;
    }
    return codes;
}

bool RunStartup(StartupHost& host, const std::string& commandLine, std::string& championship) {
    Profile& profile = host.GetProfile();
    championship = profile.GetProfileString(kSettingsSection, kChampionshipEntry, kDefaultChampionship);

    theTeamName = profile.GetProfileString(kSettingsSection, kTeamEntry, "");
    std::vector<std::string> unknownCodes;
    const std::string rotationText = profile.GetProfileString(kSettingsSection, kRotationEntry, "");
    const std::vector<std::string> rotation = ParseRotation(rotationText, unknownCodes);

    const bool connected = host.IsConnected();
    const std::string server = profile.GetProfileString(kSettingsSection, kServerEntry, "");
    if (!unknownCodes.empty()) host.RotationCodesUnknown(unknownCodes);
    if (!rotation.empty()) {
        host.FetchRotation(rotation, server, profile.GetProfileString(kSettingsSection, kResultsEntry, kDefaultResults),
                           connected);
    } else if (server.empty()) {
        // Results kept from an earlier run still serve a machine that is
        // offline now, so the results path is taken whatever the connection.
        theStatusText = host.FetchOpenResults(
            championship, profile.GetProfileString(kSettingsSection, kResultsEntry, kDefaultResults), connected);
    } else if (!connected) {
        theStatusText = kNotConnectedText;
    } else if (!host.FetchStandings(ComposeStandingsUrl(server, championship))) {
        theStatusText = kAcquisitionErrorText;
    }

    const RunMode mode = ParseCommandLine(commandLine);
    if (std::tolower(static_cast<unsigned char>(mode.letter)) == 'c') {
        const SettingsChoice shown{championship, theTeamName, rotationText};
        SettingsChoice choice = shown;
        if (host.RunSettingsDialog(mode.letter == 'c', choice)) {
            // Team and Rotation are written only when they changed, so that
            // a dialog confirmed as it opened writes what it always wrote.
            bool saved = profile.WriteProfileString(kSettingsSection, kChampionshipEntry, choice.championship);
            if (saved && choice.team != shown.team)
                saved = profile.WriteProfileString(kSettingsSection, kTeamEntry, choice.team);
            if (saved && choice.rotation != shown.rotation)
                saved = profile.WriteProfileString(kSettingsSection, kRotationEntry, choice.rotation);
            if (!saved) host.SettingsNotSaved(choice.championship);
            championship = choice.championship;
        }
        return false;
    }
    return host.CreateSaverWindow(mode.parent);
}
