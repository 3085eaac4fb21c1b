#include "platform/win32/dialog.h"

#include <vector>

namespace {

// Dialogs whose window DoModal is waiting for, innermost last. The hook
// binds the next dialog-class window created on this thread to the object,
// so that its procedure sees WM_SETFONT and WM_INITDIALOG already.
std::vector<CDialog*> pendingDialogs;
HHOOK dialogHook = nullptr;

bool IsDialogClass(HWND window) {
    char name[16] = {};
    return GetClassNameA(window, name, sizeof name) && lstrcmpA(name, "#32770") == 0;
}

LRESULT CALLBACK DialogCreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !pendingDialogs.empty()) {
        CDialog* dialog = pendingDialogs.back();
        HWND window = reinterpret_cast<HWND>(wParam);
        if (dialog && !dialog->m_hWnd && IsDialogClass(window)) {
            pendingDialogs.back() = nullptr;
            dialog->SubclassWindow(window);
        }
    }
    return CallNextHookEx(dialogHook, code, wParam, lParam);
}

void StopWaitingFor(CDialog* dialog) {
    for (CDialog*& pending : pendingDialogs) {
        if (pending == dialog) pending = nullptr;
    }
}

}  // namespace

bool AfxInitCommonControls() {
    static const bool available = [] {
        INITCOMMONCONTROLSEX init = {};
        init.dwSize = sizeof init;
        init.dwICC = ICC_WIN95_CLASSES;
        return InitCommonControlsEx(&init) != FALSE;
    }();
    return available;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd || !dx || !dx->m_pDlgWnd) return;
    control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd);
}

// ---------------------------------------------------------------- CDialog

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() { StopWaitingFor(this); }

INT_PTR CDialog::DoModal() {
    if (m_hWnd) return -1;
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(m_nIDTemplate), reinterpret_cast<LPCSTR>(RT_DIALOG));
    if (!found) return -1;

    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (owner) {
        // A dialog belongs to a top-level window, never to a child.
        HWND root = GetAncestor(owner, GA_ROOT);
        if (root) owner = root;
    }

    pendingDialogs.push_back(this);
    if (!dialogHook) dialogHook = SetWindowsHookExA(WH_CBT, DialogCreationHook, nullptr, GetCurrentThreadId());
    const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(m_nIDTemplate), owner, &CDialog::DialogProc,
                                           reinterpret_cast<LPARAM>(this));
    pendingDialogs.pop_back();
    if (pendingDialogs.empty() && dialogHook) {
        UnhookWindowsHookEx(dialogHook);
        dialogHook = nullptr;
    }
    // The dialog manager destroyed the window; a window it could not finish
    // making may still be bound if its destruction was never seen.
    if (m_hWnd) {
        if (m_pfnSuper) {
            UnsubclassWindow();
        } else {
            Detach();
        }
    }
    return result;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    if (!dialog || CWnd::FromHandlePermanent(window)) return TRUE;
    StopWaitingFor(dialog);
    if (!dialog->SubclassWindow(window)) return TRUE;
    return dialog->HandleInitDialog();
}

BOOL CDialog::HandleInitDialog() {
    StopWaitingFor(this);
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    if (!m_hWnd) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::EndDialog(int result) {
    if (!m_hWnd) return FALSE;
    return ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_INITDIALOG:
        *result = HandleInitDialog();
        return TRUE;
    case WM_COMMAND: {
        if (CWnd::OnWndMsg(message, wParam, lParam, result)) return TRUE;
        // Buttons, Enter and Escape all arrive as command 0 (BN_CLICKED);
        // other notifications of the controls with these ids are not commands.
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            *result = 0;
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            *result = 0;
            return TRUE;
        }
        return FALSE;
    }
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

// ---------------------------------------------------------------- controls

std::string CComboBox::GetLBText(int position) {
    const LRESULT length = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(position));
    if (length == CB_ERR || length < 0) return std::string();
    std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text.data()));
    if (copied == CB_ERR || copied < 0) return std::string();
    return std::string(text.data(), static_cast<std::size_t>(copied));
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    if (m_hWnd || !parent || !parent->m_hWnd || !AfxInitCommonControls()) return FALSE;
    return CreateEx(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, parent->m_hWnd, nullptr);
}

BOOL CToolTipCtrl::AddTool(CWnd* tool, const char* text) {
    if (!m_hWnd || !tool || !tool->m_hWnd) return FALSE;
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = tool->m_hWnd;
    info.uId = reinterpret_cast<UINT_PTR>(tool->m_hWnd);
    info.hinst = AfxGetResourceHandle();
    info.lpszText = const_cast<char*>(text);
    return SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CToolTipCtrl::UpdateTipText(const char* text, CWnd* tool) {
    if (!m_hWnd || !tool || !tool->m_hWnd) return;
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = tool->m_hWnd;
    info.uId = reinterpret_cast<UINT_PTR>(tool->m_hWnd);
    info.hinst = AfxGetResourceHandle();
    info.lpszText = const_cast<char*>(text);
    SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}
