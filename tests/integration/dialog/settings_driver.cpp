// vemo-settings-test: start-up's configuration path as the Linux saver runs
// it, with the INI profile of "vemo", the real download and the GTK dialog.
// Prints the status text start-up left, so that tests can tell whether the
// download ran.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "acquire/fetch_standings.h"
#include "app/connectivity.h"
#include "app/startup.h"
#include "config/settings_logic.h"
#include "platform/gtk/settings_dialog_gtk.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/ini_profile.h"
#include "res/embedded_resources.h"
#include "results/open_results.h"

namespace {

class DialogHost : public StartupHost {
public:
    Profile& GetProfile() override { return profile_; }
    bool IsConnected() override { return IsMachineConnected(); }
    bool FetchStandings(const std::string& url) override { return ::FetchStandings(client_, url.c_str()); }
    // The dialog is what is tested here: the results are read as the saver
    // reads them, without keeping a copy.
    std::string FetchOpenResults(const std::string& code, const std::string& base, bool connected) override {
        OpenResultsPlaces places;
        places.base = base;
        places.today = LocalToday();
        const OpenResultsOutcome got = AcquireOpenResults(connected ? &client_ : nullptr, code, places);
        for (const StandingsRow& row : got.rows) theStandings.Add(row);
        return StatusTextFor(got, code, connected);
    }
    void FetchRotation(const std::vector<std::string>&, const std::string&, const std::string&, bool) override {}
    bool RunSettingsDialog(bool activeParent, SettingsChoice& choice) override {
        return RunGtkSettingsDialog(activeParent, choice, ClubsOfLeague(choice.championship, choice.championship));
    }
    bool CreateSaverWindow(std::uintptr_t) override {
        std::fprintf(stderr, "vemo-settings-test: only the configuration switches are handled here\n");
        return false;
    }

private:
    IniProfile profile_{"vemo"};
    CurlHttpClient client_;
};

}  // namespace

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "usage: vemo-settings-test [/c | /c:ID]\n"
                "Reads the championship from the vemo profile, downloads its standings and\n"
                "runs the settings dialog; OK stores the choice. /c:ID makes the dialog\n"
                "transient for the active window.\n");
            return 0;
        }
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += argv[i];
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "vemo-settings-test: cannot open the display\n");
        return 2;
    }
    InstallEmbeddedResources();
    DialogHost host;
    std::string championship;
    RunStartup(host, commandLine, championship);
    std::printf("status: %s\n", theStatusText.c_str());
    return 0;
}
