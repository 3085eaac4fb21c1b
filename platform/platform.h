#pragma once
// What a platform provides to the portable core, in one list. The core
// reaches the operating system only through these interfaces; each platform
// folder supplies one production implementation of every item, and a new
// platform starts by writing this column.
//
//   interface             Windows (platform/win32)          Linux (platform/posix, soft, x11, gtk)
//   --------------------  --------------------------------  -------------------------------------------
//   Canvas                GdiCanvas                          SoftCanvas, shown by X11Presenter
//   FontFactory           GdiFontFactory                     SoftFontFactory (FreeType, fontconfig)
//   ResourceStore         Win32ResourceStore (the module's)  EmbeddedResourceStore (res/, same bytes)
//   HttpClient            WinInetHttpClient                  CurlHttpClient, run by vemo in a child
//                                                            process (ChildProcessHttpClient)
//   Profile               RegistryProfile (via CWinApp)      IniProfile
//   IsMachineConnected    connectivity_win32.cpp             connectivity_posix.cpp
//   StartupHost           SaverStartupHost                   VemoStartupHost (x11/vemo_main.cpp)
//   saver window          CSaverWnd (saver_window_win32)     X11SaverWindow (saver_window_x11)
//   settings dialog       CSettingsDlg                       RunGtkSettingsDialog
//
// The saver windows only translate their platform's events for the
// SaverSession and do what it answers; the settings dialogs share the
// windowless logic in config/.

#include "acquire/http_client.h"
#include "app/connectivity.h"
#include "app/profile.h"
#include "app/startup.h"
#include "display/canvas.h"
#include "display/font.h"
#include "display/resources.h"
#include "display/saver_session.h"
