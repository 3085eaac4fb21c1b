#pragma once
// The "Settings" dialog of the configuration mode: the stadium photograph,
// the championship list, and the OK and Cancel footballs. It edits only
// m_championship; the caller reads and stores it after OK.

#include "platform/win32/win32.h"

#include <string>

#include "platform/win32/backdrop_dialog.h"
#include "platform/win32/color_label.h"
#include "platform/win32/skinned_button_win32.h"

class CSettingsDlg : public CBackdropDialog {
public:
    // `parent` may be null: the dialog then has no owner.
    explicit CSettingsDlg(CWnd* parent = nullptr);

    CColorLabel m_champLabel;
    CSkinnedButton m_cancelButton;
    CSkinnedButton m_okButton;
    CComboBox m_championshipList;
    // The association code edited; the caller sets it before DoModal and
    // reads it after IDOK.
    std::string m_championship;
    CColorLabel m_infoLabel;
    HICON m_hIcon;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    HICON OnQueryDragIcon() { return m_hIcon; }
};
