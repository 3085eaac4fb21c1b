// vemo: the Scorvane screen saver for X11 and Wayland. The same start-up as
// Vemo.scr (profile, connection test, download, then the run mode) over the
// Linux services, then the saver window of platform/x11 or the surfaces of
// platform/wayland.
#include "platform/x11/xlib.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/standings_table.h"
#include "acquire/team_match.h"
#include "app/latin1.h"
#include "config/settings_logic.h"
#include "display/stage_scale.h"
#include "platform/platform.h"
#include "platform/posix/child_process_http_client.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/ini_profile.h"
#include "platform/posix/user_folders.h"
#include "platform/x11/settings_program.h"
#include "platform/x11/stop_signals.h"
#include "platform/x11/vemo_options.h"
#include "platform/x11/x11_handles.h"
#include "platform/x11/saver_window_x11.h"
#include "platform/wayland/saver_wayland.h"
#include "res/embedded_resources.h"
#include "results/open_results.h"
#include "results/rotation.h"

#ifndef VEMO_VERSION
#define VEMO_VERSION "unknown"
#endif

namespace {

// The INI file as start-up reads it: --team and --rotation stand in for
// their settings without being written, and a club name, which the user
// writes in UTF-8, comes in as the board's ISO 8859-1.
class VemoProfile : public Profile {
public:
    VemoProfile(IniProfile& ini, const VemoOptions& options) : ini_(ini), options_(options) {}
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) override {
        if (section == kSettingsSection && entry == kTeamEntry)
            return TransliterateToLatin1(options_.haveTeam ? options_.team : ini_.GetProfileString(section, entry, ""));
        if (section == kSettingsSection && entry == kRotationEntry && options_.haveRotation) return options_.rotation;
        return ini_.GetProfileString(section, entry, defaultValue);
    }
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) override {
        if (section == kSettingsSection && entry == kTeamEntry)
            return ini_.WriteProfileString(section, entry, Latin1ToUtf8(value));
        return ini_.WriteProfileString(section, entry, value);
    }

private:
    IniProfile& ini_;
    const VemoOptions& options_;
};

// A libcurl client in a child process that owns what it wraps, for a
// download on a thread of its own.
class OwnChildClient : public HttpClient {
public:
    OwnChildClient(const volatile std::sig_atomic_t* stop, int wakeFd) : child_(curl_, stop, wakeFd) {}
    FileResponse GetFile(const FileRequest& request) override { return child_.GetFile(request); }
    int Get(const std::string& host, int port, const std::string& path, std::string& body) override {
        return child_.Get(host, port, path, body);
    }

private:
    CurlHttpClient curl_;
    ChildProcessHttpClient child_;
};

// Start-up's view of the Linux program.
class VemoStartupHost : public StartupHost {
public:
    VemoStartupHost(const VemoOptions& options, std::ostream* trace, const StopSignals& stop)
        : options_(options), trace_(trace), stop_(stop) {
        profile_.OnProblem([](const std::string& problem) { std::fprintf(stderr, "vemo: %s\n", problem.c_str()); });
    }

    Profile& GetProfile() override { return view_; }
    bool IsConnected() override { return IsMachineConnected(); }

    bool FetchStandings(const std::string& url) override {
        // In a process of its own, so that the TLS libraries libcurl brings
        // leave with it; a stop signal ends the wait at once (the saver is
        // not wanted) and the child with it.
        CurlHttpClient curl;
        ChildProcessHttpClient client(curl, StopSignals::Flag(), stop_.Fd());
        return ::FetchStandings(client, url.c_str());
    }

    std::string FetchOpenResults(const std::string& code, const std::string& resultsBase, bool connected) override;
    void FetchRotation(const std::vector<std::string>& codes, const std::string& server,
                       const std::string& resultsBase, bool connected) override;
    void RotationCodesUnknown(const std::vector<std::string>& codes) override {
        for (const std::string& code : codes)
            std::fprintf(stderr, "vemo: the Rotation setting names no association '%s'; it is left out\n",
                         Latin1ToUtf8(code).c_str());
    }

    bool RunSettingsDialog(bool activeParent, SettingsChoice& choice) override;
    bool CreateSaverWindow(std::uintptr_t parent) override;
    void SettingsNotSaved(const std::string& championship) override {
        std::fprintf(stderr, "vemo: the championship '%s' was not saved: %s\n", championship.c_str(),
                     profile_.WriteError().c_str());
        failureStatus_ = 1;
    }

    std::string& Championship() { return championship_; }
    // Plays the saver CreateSaverWindow made until it ends.
    int RunSaver(int stopFd) { return wayland_ ? wayland_->Run(stopFd) : window_->Run(stopFd); }
    // The exit status when start-up did not end with a running saver.
    int FailureStatus() const { return failureStatus_; }
    IniProfile& Ini() { return profile_; }
    // What the open results gave, when start-up took that path.
    const OpenResultsOutcome* Results() const { return results_ ? &*results_ : nullptr; }

private:
    // --scale, else the profile's Scale; a value that is none of the
    // choices is not a reason to show no saver.
    int ChosenScale();
    // The full-screen saver on the Wayland compositor; false with a word on
    // stderr when it cannot be had.
    bool CreateWaylandSaver();

    const VemoOptions& options_;
    std::ostream* trace_;
    const StopSignals& stop_;
    IniProfile profile_{"vemo"};
    VemoProfile view_{profile_, options_};
    std::string championship_;
    std::optional<OpenResultsOutcome> results_;
    int failureStatus_ = 0;
    // The connection outlives the window drawn through it.
    DisplayConnection display_;
    std::unique_ptr<X11SaverWindow> window_;
    std::unique_ptr<WaylandSaver> wayland_;
};

// The snapshot the package installed (the saver lives in
// PREFIX/libexec/xscreensaver), or the one of the sources for a saver run
// from its build tree.
std::filesystem::path BundledResultsFolder() {
    return InstalledDataFolder("../../share/vemo/football.json", {VEMO_INSTALLED_RESULTS, VEMO_SOURCE_RESULTS});
}

OpenResultsPlaces PlacesOf(const std::string& resultsBase) {
    OpenResultsPlaces places;
    places.base = resultsBase;
    while (places.base.size() > 1 && places.base.back() == '/') places.base.pop_back();
    places.cacheFolder = UserCacheFolder("vemo");
    places.bundledFolder = BundledResultsFolder();
    places.today = LocalToday();
    return places;
}

void VemoStartupHost::FetchRotation(const std::vector<std::string>& codes, const std::string& server,
                                    const std::string& resultsBase, bool connected) {
    AcquireRotation(codes, server, PlacesOf(resultsBase), connected,
                    [this] { return std::make_unique<OwnChildClient>(StopSignals::Flag(), stop_.Fd()); });
}

std::string VemoStartupHost::FetchOpenResults(const std::string& code, const std::string& resultsBase,
                                              bool connected) {
    const OpenResultsPlaces places = PlacesOf(resultsBase);

    // As for a page: the TLS libraries leave with the child, a stop signal
    // ends the wait at once.
    CurlHttpClient curl;
    ChildProcessHttpClient client(curl, StopSignals::Flag(), stop_.Fd());
    results_ = AcquireOpenResults(connected ? &client : nullptr, code, places);
    for (const StandingsRow& row : results_->rows) theStandings.Add(row);
    return StatusTextFor(*results_, code, connected);
}

bool VemoStartupHost::RunSettingsDialog(bool activeParent, SettingsChoice& choice) {
    if (options_.printStatus) return false;
    // The dialog reports a missing display like a cancel; a user who started
    // it deserves to be told.
    if (!OpenDisplay()) {
        std::fprintf(stderr, "vemo: cannot open display '%s' for the settings dialog\n", XDisplayName(nullptr));
        failureStatus_ = 1;
        return false;
    }
    std::string error;
    const bool confirmed = RunSettingsProgram(SettingsProgramPath(), activeParent, choice,
                                              ClubsOfLeague(choice.championship, choice.championship), error);
    if (!error.empty()) {
        std::fprintf(stderr, "vemo: %s\n", error.c_str());
        failureStatus_ = 1;
    }
    return confirmed;
}

bool VemoStartupHost::CreateSaverWindow(std::uintptr_t parent) {
    if (options_.printStatus) return false;
    // Told to stop while the page was downloading: no window to show.
    if (stop_.Pending()) return false;
    failureStatus_ = 1;
    SaverTarget target;
    std::string error;
    if (!ChooseSaverTarget(options_, parent, std::getenv("XSCREENSAVER_WINDOW"), target, error)) {
        std::fprintf(stderr, "vemo: %s\n", error.c_str());
        return false;
    }
    bool frontEndChosen = false;
    if (ChooseFrontEnd(options_, target.kind, std::getenv("WAYLAND_DISPLAY"), frontEndChosen) ==
        SaverFrontEnd::Wayland) {
        if (CreateWaylandSaver()) {
            failureStatus_ = 0;
            return true;
        }
        if (frontEndChosen) return false;
        std::fprintf(stderr, "vemo: trying X11 instead\n");
    }
    InstallXErrorHandlers();
    display_ = OpenDisplay();
    if (!display_) {
        std::fprintf(stderr, "vemo: cannot open display '%s'\n", XDisplayName(nullptr));
        return false;
    }
    X11SaverWindow::Settings settings;
    settings.allowShm = !options_.noShm;
    settings.trace = trace_;
    settings.scale = ChosenScale();
    window_ = std::make_unique<X11SaverWindow>(display_.get(), championship_, settings);
    if (!window_->Create(target, error)) {
        std::fprintf(stderr, "vemo: %s\n", error.c_str());
        window_.reset();
        return false;
    }
    failureStatus_ = 0;
    return true;
}

bool VemoStartupHost::CreateWaylandSaver() {
    WaylandSaver::Settings settings;
    settings.trace = trace_;
    settings.noLayerShell = options_.xdgShell;
    settings.scale = ChosenScale();
    wayland_ = std::make_unique<WaylandSaver>(championship_, settings);
    std::string error;
    if (!wayland_->Create(nullptr, error)) {
        std::fprintf(stderr, "vemo: %s\n", error.c_str());
        wayland_.reset();
        return false;
    }
    return true;
}

int VemoStartupHost::ChosenScale() {
    if (options_.haveScale) return options_.scale;
    const std::string text = profile_.GetProfileString(kSettingsSection, kScaleEntry, kDefaultScale);
    int scale = kAutoStageScale;
    if (!ParseStageScale(text, scale)) {
        std::fprintf(stderr, "vemo: the Scale setting '%s' is not auto, 1, 2, 3 or 4; auto is used\n",
                     Latin1ToUtf8(text).c_str());
        scale = kAutoStageScale;
    }
    return scale;
}

// What the Team setting picks out of each table on the board, with the
// code of its league when several take turns ("" for the one league);
// nothing when no club is asked for.
struct TeamOnBoard {
    std::string league;
    TeamMatch match;
    bool hasTable = false;
};
std::vector<TeamOnBoard> TeamsOnBoard() {
    std::vector<TeamOnBoard> found;
    if (theTeamName.empty()) return found;
    const auto add = [&found](const std::string& league, const StandingsTable& table) {
        found.push_back(TeamOnBoard{league, FindTeam(table, theTeamName), table.GetSize() > 1});
    };
    if (theRotation.empty()) add("", theStandings);
    for (const LeagueStandings& league : theRotation) add(league.code, league.standings);
    return found;
}

std::string TeamNote(const TeamOnBoard& t) {
    return Latin1ToUtf8(DescribeTeamMatch(t.match, theTeamName));
}

// A club that is not picked out of a table is worth a line on stderr: the
// user asked for it and sees nothing.
void ReportTeamMisses() {
    for (const TeamOnBoard& t : TeamsOnBoard())
        if (t.match.row < 0 && t.hasTable)
            std::fprintf(stderr, "vemo: Team %s%s\n", t.league.empty() ? "" : ("(" + t.league + "): ").c_str(),
                         TeamNote(t).c_str());
}

int PrintStatus(VemoStartupHost& host) {
    const std::string server = host.Ini().GetProfileString(kSettingsSection, kServerEntry, "");
    for (const TeamOnBoard& t : TeamsOnBoard())
        std::printf("team: %s%s\n", t.league.empty() ? "" : (t.league + ": ").c_str(), TeamNote(t).c_str());
    if (!theRotation.empty()) {
        // One line per league, in the order the scenes show them.
        int tables = 0;
        for (const LeagueStandings& league : theRotation) {
            std::printf("league: %s rows %d status %s\n", league.code.c_str(), league.standings.GetSize(),
                        Latin1ToUtf8(league.statusText).c_str());
            if (league.standings.GetSize() > 0) ++tables;
        }
        std::fflush(stdout);
        return tables > 0 ? 0 : 1;
    }
    std::printf("championship: %s\n", Latin1ToUtf8(host.Championship()).c_str());
    if (const OpenResultsOutcome* r = host.Results()) {
        static const char* const kFrom[] = {"source", "cache", "snapshot", "nothing", "not covered"};
        std::printf("results: %s\n",
                    Latin1ToUtf8(host.Ini().GetProfileString(kSettingsSection, kResultsEntry, kDefaultResults)).c_str());
        std::printf("from: %s\n", kFrom[static_cast<int>(r->from)]);
        if (!r->origin.empty()) std::printf("file: %s\n", r->origin.c_str());
        if (!r->newestDate.empty()) std::printf("newest result: %s\n", r->newestDate.c_str());
        if (!r->problem.empty()) std::printf("problem: %s\n", r->problem.c_str());
    } else {
        std::printf("server: %s\n", Latin1ToUtf8(server).c_str());
    }
    std::printf("status: %s\n", Latin1ToUtf8(theStatusText).c_str());
    std::printf("rows: %d\n", theStandings.GetSize());
    std::fflush(stdout);
    return theStandings.GetSize() > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    VemoOptions options;
    std::string error;
    if (!ParseVemoArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "vemo: %s\n(vemo --help lists the options)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kVemoUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vemo %s\n", VEMO_VERSION);
        return 0;
    }

    std::ofstream traceFile;
    if (!options.traceFile.empty()) {
        traceFile.open(options.traceFile, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!traceFile) {
            std::fprintf(stderr, "vemo: cannot write the trace file '%s'\n", options.traceFile.c_str());
            return 2;
        }
    }

    InstallEmbeddedResources();

    // Installed before the download, so that a SIGTERM during it ends the
    // saver just as cleanly once it has started.
    StopSignals stopSignals;
    stopSignals.Install();

    VemoStartupHost host(options, traceFile.is_open() ? &traceFile : nullptr, stopSignals);
    const std::string commandLine = StartupCommandLine(options, std::getenv("XSCREENSAVER_WINDOW"));
    const bool run = RunStartup(host, commandLine, host.Championship());
    if (run || options.printStatus) ReportTeamMisses();
    if (options.printStatus) return PrintStatus(host);
    if (!run) return host.FailureStatus();
    return host.RunSaver(stopSignals.Fd());
}
