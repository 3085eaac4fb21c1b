#pragma once
// The application object of Vemo.scr and what start-up needs from Windows.

#include "platform/win32/win32.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/framework.h"
#include "platform/win32/gdi_canvas.h"

class CSaverApp : public CWinApp {
public:
    CSaverApp() = default;

    BOOL InitInstance() override;

    // The association code in use; empty until InitInstance reads the profile.
    std::string m_championship;

private:
    Win32ResourceStore m_resources;  // the bitmaps of this executable
};

// Start-up's view of the Windows program: the registry profile of the
// application, InternetGetConnectedState, the WinINet download (of a
// standings page, or of open results kept under %LOCALAPPDATA%\Vemo), the
// settings dialog and the saver window.
class SaverStartupHost : public StartupHost {
public:
    explicit SaverStartupHost(CSaverApp& app) : app_(app) {}

    Profile& GetProfile() override { return app_; }
    bool IsConnected() override;
    bool FetchStandings(const std::string& url) override;
    std::string FetchOpenResults(const std::string& code, const std::string& resultsBase, bool connected) override;
    void FetchRotation(const std::vector<std::string>& codes, const std::string& server,
                       const std::string& resultsBase, bool connected) override;
    bool RunSettingsDialog(bool activeParent, SettingsChoice& choice) override;
    bool CreateSaverWindow(std::uintptr_t parent) override;

private:
    CSaverApp& app_;
};

// The configuration mode: runs the settings dialog modally over
// `championship` (owned by the active window when `activeParent` is set).
// True only when the user confirmed; `championship` then holds the choice.
bool RunSettingsDialog(CSaverApp& app, bool activeParent, SettingsChoice& choice);
