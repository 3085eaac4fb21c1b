#include "platform/win32/saver_app.h"
#include "platform/win32/settings_dialog_win32.h"

bool RunSettingsDialog(CSaverApp& app, bool activeParent, std::string& championship) {
    // An explicit configure switch comes from a window that wants the dialog
    // as its own (Display Properties); the default run has no owner.
    CWnd* parent = activeParent ? CWnd::FromHandle(::GetActiveWindow()) : nullptr;
    CSettingsDlg dialog(parent);
    dialog.m_championship = championship;
    app.m_pMainWnd = &dialog;
    const INT_PTR result = dialog.DoModal();
    if (app.m_pMainWnd == &dialog) app.m_pMainWnd = nullptr;
    if (result != IDOK) return false;
    championship = dialog.m_championship;
    return true;
}
