#include "platform/win32/saver_app.h"
#include "platform/win32/settings_dialog_win32.h"

bool RunSettingsDialog(CSaverApp& app, bool activeParent, SettingsChoice& choice) {
    // An explicit configure switch comes from a window that wants the dialog
    // as its own (Display Properties); the default run has no owner.
    CWnd* parent = activeParent ? CWnd::FromHandle(::GetActiveWindow()) : nullptr;
    CSettingsDlg dialog(parent);
    dialog.m_championship = choice.championship;
    dialog.m_team = choice.team;
    dialog.m_rotation = choice.rotation;
    app.m_pMainWnd = &dialog;
    const INT_PTR result = dialog.DoModal();
    if (app.m_pMainWnd == &dialog) app.m_pMainWnd = nullptr;
    if (result != IDOK) return false;
    choice = SettingsChoice{dialog.m_championship, dialog.m_team, dialog.m_rotation};
    return true;
}
