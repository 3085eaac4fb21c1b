#include "platform/win32/settings_dialog_win32.h"

#include <string>
#include <vector>

#include "app/association_table.h"
#include "config/settings_logic.h"
#include "platform/win32/gdi.h"
#include "res/resource_ids.h"

namespace {

void ApplySkin(CSkinnedButton& button, const BallButtonSkin& skin) {
    button.SetCaptionColor(skin.captionColor);
    button.SetImages(skin.normalId, skin.pressedId, skin.overId, skin.disabledId, skin.focusId, skin.maskId,
                     skin.drawMode, skin.border, skin.focusMargin);
    button.SetTooltip(skin.tooltip);
}

std::string WindowText(HWND window) {
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

CSettingsDlg::CSettingsDlg(CWnd* parent)
    : CBackdropDialog(IDD_SETTINGS, parent),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_VEMO))) {}

void CSettingsDlg::DoDataExchange(CDataExchange* dx) {
    CBackdropDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_CHAMPIONSHIP_LABEL, m_champLabel);
    DDX_Control(dx, IDCANCEL, m_cancelButton);
    DDX_Control(dx, IDOK, m_okButton);
    DDX_Control(dx, IDC_CHAMPIONSHIP, m_championshipList);
    DDX_Control(dx, IDC_INFO, m_infoLabel);
    DDX_Control(dx, IDC_CLUB_LABEL, m_clubLabel);
    DDX_Control(dx, IDC_CLUB, m_clubBox);
    DDX_Control(dx, IDC_ROTATION_LABEL, m_rotationLabel);
    DDX_Control(dx, IDC_ROTATION, m_rotationList);
}

BOOL CSettingsDlg::OnInitDialog() {
    CBackdropDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    SetBackgroundBitmap(kStadiumBitmapId, kStadiumPlacement);

    ApplySkin(m_okButton, kOkButtonSkin);
    ApplySkin(m_cancelButton, kCancelButtonSkin);

    // The list sorts as the table is sorted, so a name's position is its
    // table index.
    for (int i = 0; AssociationTable[i].name != nullptr; ++i) m_championshipList.AddString(AssociationTable[i].name);
    m_championshipList.SetCurSel(0);
    const int position = PositionForCode(m_championship);
    if (position != 0) m_championshipList.SetCurSel(position);

    m_infoLabel.SetTextColor(kInfoTextColor);
    m_infoLabel.SetBold(true);
    ::SetWindowTextA(m_infoLabel.m_hWnd, InfoBlockText().c_str());

    m_champLabel.SetTextColor(kChampionshipCaptionColor);
    m_champLabel.SetBold(true);
    ::SetWindowTextA(m_champLabel.m_hWnd, kChampionshipCaption);

    for (CColorLabel* label : {&m_clubLabel, &m_rotationLabel}) {
        label->SetTextColor(kChampionshipCaptionColor);
        label->SetBold(true);
    }
    ::SetWindowTextA(m_clubLabel.m_hWnd, kClubCaption);
    ::SetWindowTextA(m_rotationLabel.m_hWnd, kRotationCaption);

    m_startCode = m_championship;
    FillClubs();
    ::SetWindowTextA(m_clubBox.m_hWnd, m_team.c_str());

    for (int i = 0; AssociationTable[i].name != nullptr; ++i) m_rotationList.AddString(AssociationTable[i].name);
    const std::vector<int> checked = PositionsForRotation(m_rotation);
    for (const int position : checked) m_rotationList.SetSel(position, TRUE);
    if (!checked.empty()) m_rotationList.SetTopIndex(checked.front());

    return TRUE;
}

void CSettingsDlg::FillClubs() {
    std::string code = m_championship;
    CodeForPosition(m_championshipList.GetCurSel(), code);
    // Emptying the list keeps the text typed into the field.
    const std::string typed = WindowText(m_clubBox.m_hWnd);
    m_clubBox.SendMessage(CB_RESETCONTENT);
    for (const std::string& club : ClubsOfLeague(code, m_startCode)) m_clubBox.AddString(club.c_str());
    ::SetWindowTextA(m_clubBox.m_hWnd, typed.c_str());
}

void CSettingsDlg::OnOK() {
    // No selection, or one the table does not have, keeps the code the
    // dialog was given.
    CodeForPosition(m_championshipList.GetCurSel(), m_championship);
    m_team = TeamFromClubField(WindowText(m_clubBox.m_hWnd));
    std::vector<int> checked;
    const int count = m_rotationList.GetCount();
    for (int i = 0; i < count; ++i)
        if (m_rotationList.GetSel(i)) checked.push_back(i);
    m_rotation = RotationForPositions(checked, m_rotation);
    CBackdropDialog::OnOK();
}

void CSettingsDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        CBackdropDialog::OnPaint();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
}

BOOL CSettingsDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_PAINT:
        OnPaint();
        *result = 0;
        return TRUE;
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CHAMPIONSHIP && HIWORD(wParam) == CBN_SELCHANGE) {
            FillClubs();
            *result = 0;
            return TRUE;
        }
        return CBackdropDialog::OnWndMsg(message, wParam, lParam, result);
    default:
        return CBackdropDialog::OnWndMsg(message, wParam, lParam, result);
    }
}
