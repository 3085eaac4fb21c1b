#include "platform/win32/saver_app.h"

#include <shlobj.h>

#include <filesystem>
#include <memory>

#include "acquire/fetch_standings.h"
#include "acquire/standings_table.h"
#include "app/connectivity.h"
#include "app/product.h"
#include "display/stage_scale.h"
#include "platform/win32/saver_window_win32.h"
#include "platform/win32/wininet_http_client.h"
#include "results/open_results.h"
#include "results/rotation.h"

bool SaverStartupHost::IsConnected() { return IsMachineConnected(); }

bool SaverStartupHost::FetchStandings(const std::string& url) {
    WinInetHttpClient client;
    return ::FetchStandings(client, url.c_str());
}

namespace {

// The user's own, not roaming, folder: the kept results are a copy of
// public files, not settings worth carrying between machines. Built from the
// wide name, which holds the user name whatever the code page. Empty (so
// nothing is kept) when the system does not say where it is.
std::filesystem::path ResultsCacheFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)) || !folder[0])
        return {};
    return std::filesystem::path(folder) / kProductTag;
}

CivilDate Today() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

OpenResultsPlaces PlacesOf(const std::string& resultsBase) {
    OpenResultsPlaces places;
    // "https://mirror/football.json/" as typed into the registry is the
    // same base as without the slash.
    places.base = resultsBase.substr(0, resultsBase.find_last_not_of('/') + 1);
    places.cacheFolder = ResultsCacheFolder();
    // No snapshot comes with the Windows archive: its saver is one file.
    places.today = Today();
    return places;
}

}  // namespace

void SaverStartupHost::FetchRotation(const std::vector<std::string>& codes, const std::string& server,
                                     const std::string& resultsBase, bool connected) {
    AcquireRotation(codes, server, PlacesOf(resultsBase), connected,
                    [] { return std::make_unique<WinInetHttpClient>(); });
}

std::string SaverStartupHost::FetchOpenResults(const std::string& code, const std::string& resultsBase,
                                               bool connected) {
    const OpenResultsPlaces places = PlacesOf(resultsBase);

    WinInetHttpClient client;
    const OpenResultsOutcome outcome = AcquireOpenResults(connected ? &client : nullptr, code, places);
    for (const StandingsRow& row : outcome.rows) theStandings.Add(row);
    return StatusTextFor(outcome, code, connected);
}

bool SaverStartupHost::RunSettingsDialog(bool activeParent, SettingsChoice& choice) {
    return ::RunSettingsDialog(app_, activeParent, choice);
}

bool SaverStartupHost::CreateSaverWindow(std::uintptr_t parent) {
    // A Scale value that is none of the choices is no reason to show no
    // saver: auto stands in for it.
    int scale = kAutoStageScale;
    if (!ParseStageScale(app_.GetProfileString(kSettingsSection, kScaleEntry, kDefaultScale), scale))
        scale = kAutoStageScale;
    auto wnd = std::make_unique<CSaverWnd>(app_.m_championship, scale);
    if (!wnd->Create(reinterpret_cast<HWND>(parent))) return false;
    // From here on the window owns itself: it is deleted after its last
    // message.
    app_.m_pMainWnd = wnd.release();
    return true;
}

BOOL CSaverApp::InitInstance() {
    Enable3dControlsStatic();
    SetRegistryKey("");

    SetResourceStore(&m_resources);

    SaverStartupHost host(*this);
    return RunStartup(host, m_lpCmdLine ? m_lpCmdLine : "", m_championship) ? TRUE : FALSE;
}
