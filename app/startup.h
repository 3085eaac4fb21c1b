#pragma once
// Start-up, written once for every front end: read the profile, test the
// connection, download, and only then read the command line and run a mode.

#include <cstdint>
#include <string>
#include <vector>

#include "app/profile.h"

// Empty, or why no standings could be obtained. Set at most once by start-up.
extern std::string theStatusText;

// The Team value as read by start-up: the club the board picks out, "" for none.
extern std::string theTeamName;

inline constexpr const char kNotConnectedText[] = "Not connected to the internet";
inline constexpr const char kAcquisitionErrorText[] = "Mistake of data acquisition.";

inline constexpr const char kStandingsPathPrefix[] = "/associations/association=";
inline constexpr const char kStandingsPathSuffix[] = "/nationalleague/standings.html";

struct RunMode {
    char letter = 'C';        // 'C' default dialog, 'c' dialog with active parent, 'p', 's', ...
    std::uintptr_t parent = 0; // preview parent handle, 0 when none
};

// The screen-saver switch grammar over the command line without the program name.
RunMode ParseCommandLine(const std::string& commandLine);

// Percent-encodes every byte outside A-Z a-z 0-9 - . _ ~, so that a code read
// from user-writable storage cannot change the request line.
std::string EncodeUrlComponent(const std::string& text);

// The standings page's path on a site, prefix + encoded code + suffix: the
// one place it is spelled, for the savers that read it and the tools that
// write and serve it.
std::string StandingsPagePath(const std::string& code);

// "http://" + server + StandingsPagePath(code).
std::string ComposeStandingsUrl(const std::string& server, const std::string& code);

// The codes of a Rotation value: split at commas, blanks around each taken
// off, empty items skipped. Codes that name no association go to `unknown`
// instead, so that a typing error shows no nameless board.
std::vector<std::string> ParseRotation(const std::string& text, std::vector<std::string>& unknown);

// What the settings dialog shows and, once confirmed, what the user chose:
// the championship's code, the Team value (ISO 8859-1) and the Rotation
// value as the profile holds it.
struct SettingsChoice {
    std::string championship = {};
    std::string team = {};
    std::string rotation = {};
};

// What a platform supplies to start-up.
class StartupHost {
public:
    virtual ~StartupHost() = default;
    virtual Profile& GetProfile() = 0;
    virtual bool IsConnected() = 0;
    // The download of the standings page into theStandings; false on an error.
    virtual bool FetchStandings(const std::string& url) = 0;
    // With no standings site set: the table of `code` from the open match
    // results under `resultsBase` into theStandings, asking the source only
    // when `connected`. Returns the board's status line (the table's date,
    // or why there is none).
    virtual std::string FetchOpenResults(const std::string& code, const std::string& resultsBase,
                                         bool connected) = 0;
    // Every league of a rotation, at the same time where the platform can,
    // into theRotation, each with its own status line: from the site
    // `server` when one is set, else from the open results under
    // `resultsBase`, asking nothing when not `connected`.
    virtual void FetchRotation(const std::vector<std::string>& codes, const std::string& server,
                               const std::string& resultsBase, bool connected) = 0;
    // The Rotation's codes that name no association and were dropped: the
    // place to tell the user. With none left, the championship plays alone.
    virtual void RotationCodesUnknown(const std::vector<std::string>& codes) { static_cast<void>(codes); }
    // Runs the settings dialog modally on `choice`; true when the user
    // confirmed (and `choice` then holds what was chosen). `activeParent` is
    // true for an explicit configure switch, whose dialog belongs to the
    // currently active window. theStandings holds the table of the
    // championship the dialog starts on, for its list of clubs.
    virtual bool RunSettingsDialog(bool activeParent, SettingsChoice& choice) = 0;
    // Creates the saver window (full screen when parent is 0); false on failure.
    virtual bool CreateSaverWindow(std::uintptr_t parent) = 0;
    // The choice the user confirmed in the dialog could not be stored: the
    // place to tell the user so, since the dialog has already closed.
    virtual void SettingsNotSaved(const std::string& championship) { static_cast<void>(championship); }
};

// Steps after the framework's own initialisation. Returns true when a saver
// window exists and the message loop should run. `championship` receives the
// code read from the profile.
bool RunStartup(StartupHost& host, const std::string& commandLine, std::string& championship);
