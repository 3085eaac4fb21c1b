#include "platform/win32/saver_app.h"

// Until the settings dialog exists the configuration mode shows nothing and
// keeps the stored championship as it is.
bool RunSettingsDialog(CSaverApp&, bool, std::string&) { return false; }
