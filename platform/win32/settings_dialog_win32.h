#pragma once
// The "Settings" dialog of the configuration mode: the stadium photograph,
// the championship list, the club and the leagues to show in turn, and the
// OK and Cancel footballs. It edits m_championship, m_team and m_rotation;
// the caller reads and stores them after OK.

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
    // The Team and Rotation values edited, the same way.
    std::string m_team;
    std::string m_rotation;
    CColorLabel m_infoLabel;
    CColorLabel m_clubLabel;
    CComboBox m_clubBox;
    CColorLabel m_rotationLabel;
    CListBox m_rotationList;
    HICON m_hIcon;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    HICON OnQueryDragIcon() { return m_hIcon; }

private:
    // The clubs of the championship selected, where its table is in hand.
    void FillClubs();
    std::string m_startCode;  // the championship the dialog opened on
};
