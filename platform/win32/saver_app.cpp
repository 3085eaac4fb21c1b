#include "platform/win32/saver_app.h"

#include <memory>

#include "acquire/fetch_standings.h"
#include "app/connectivity.h"
#include "platform/win32/saver_window_win32.h"
#include "platform/win32/wininet_http_client.h"

bool SaverStartupHost::IsConnected() { return IsMachineConnected(); }

bool SaverStartupHost::FetchStandings(const std::string& url) {
    WinInetHttpClient client;
    return ::FetchStandings(client, url.c_str());
}

bool SaverStartupHost::RunSettingsDialog(bool activeParent, std::string& championship) {
    return ::RunSettingsDialog(app_, activeParent, championship);
}

bool SaverStartupHost::CreateSaverWindow(std::uintptr_t parent) {
    auto wnd = std::make_unique<CSaverWnd>(app_.m_championship);
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
