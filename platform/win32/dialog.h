#pragma once
// Dialogs run modally from a template resource, the data exchange that binds
// control objects to the template's controls, and thin wrappers for the
// system controls the settings dialog uses.

#include "platform/win32/win32.h"

#include <commctrl.h>

#include <string>

#include "platform/win32/framework.h"

// Registers the common control classes (the tooltip among them) once per
// process; true when they are available.
bool AfxInitCommonControls();

class CDialog;

// One pass of data exchange between a dialog's controls and its members.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
};

// Binds `control` to the dialog's control `id` by subclassing it, on the
// first exchange only; the control's procedure then does its default
// processing. A missing control leaves the object unbound.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
public:
    CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the dialog from its template, owned by the parent's window
    // (none when there is no parent), and runs it until EndDialog. Returns
    // the value given to EndDialog, or -1 when the dialog could not be made.
    virtual INT_PTR DoModal();

    // Exchanges data (members to controls) and returns TRUE, so that the
    // dialog manager puts the focus on the first tab stop.
    virtual BOOL OnInitDialog();
    // Confirm: data exchange from the controls, then EndDialog(IDOK).
    virtual void OnOK();
    // Cancel, Escape or closing: EndDialog(IDCANCEL).
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);
    // FALSE when the exchange could not run (no window).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    BOOL EndDialog(int result);

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // The system's dialog-box procedure under the subclassed window: the
    // dialog manager calls it from its default processing. It answers
    // nothing itself; WM_INITDIALOG reaches it only for a window the
    // creation hook missed, which it binds then.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    BOOL HandleInitDialog();
};

class CStatic : public CWnd {};

class CButton : public CWnd {
public:
    UINT GetState() { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL pushed) { SendMessage(BM_SETSTATE, pushed); }
};

class CComboBox : public CWnd {
public:
    // Position of the new string, or CB_ERR / CB_ERRSPACE.
    int AddString(const char* text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    // CB_ERR for -1 (no selection) or a position outside the list.
    int SetCurSel(int position) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(position))); }
    int GetCurSel() { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int GetCount() { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    // The text at a position; empty for a position outside the list.
    std::string GetLBText(int position);
};

// A list box of the multiple-selection kind: each item on or off.
class CListBox : public CWnd {
public:
    // Position of the new string, or LB_ERR / LB_ERRSPACE.
    int AddString(const char* text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCount() { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    // LB_ERR for a position outside the list.
    int SetSel(int position, BOOL on) {
        return static_cast<int>(SendMessage(LB_SETSEL, static_cast<WPARAM>(on), static_cast<LPARAM>(position)));
    }
    BOOL GetSel(int position) { return SendMessage(LB_GETSEL, static_cast<WPARAM>(position)) > 0; }
    int SetTopIndex(int position) { return static_cast<int>(SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(position))); }
};

class CToolTipCtrl : public CWnd {
public:
    // A tooltip window owned by `parent`'s top-level window.
    BOOL Create(CWnd* parent, DWORD style = 0);
    // A tool covering the whole window of `tool`, identified by its handle.
    BOOL AddTool(CWnd* tool, const char* text);
    void UpdateTipText(const char* text, CWnd* tool);
    void Activate(BOOL active) { SendMessage(TTM_ACTIVATE, active); }
    void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
};
