#pragma once
// The small application framework the Windows program is written against:
// one application object with the message loop and the registry profile,
// and windows bound to C++ objects whose virtual WindowProc sees every
// message first and hands it on to the handlers of their message map.

#include "platform/win32/win32.h"

#include <string>

#include "platform/win32/registry_profile.h"

class CWnd;

class CWinApp : public Profile {
public:
    // With no name the application is named after the executable, without
    // directory and extension ("Vemo" for Vemo.scr).
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // TRUE: run the message loop; FALSE: end the program at once.
    virtual BOOL InitInstance();
    // The message loop, until WM_QUIT; returns ExitInstance's result.
    virtual int Run();
    virtual int ExitInstance();
    // Gives the windows from the message's target up to the main window a
    // chance to take the message before it is translated and dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Three-dimensional controls are the system's default look.
    void Enable3dControlsStatic() {}

    // From here on the profile lives in
    // HKEY_CURRENT_USER\Software\<registryKey>\<application name>.
    void SetRegistryKey(const char* registryKey);

    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) override;
    bool WriteProfileString(const std::string& section, const std::string& entry,
                            const std::string& value) override;

    // Fills in the handles, the command line and the names. Called by the
    // entry point before InitInstance; tests may call it themselves.
    void SetCurrentHandles(HINSTANCE instance, LPSTR commandLine, int showCommand);

    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    CWnd* m_pMainWnd = nullptr;
    std::string m_pszExeName;
    std::string m_pszAppName;
    std::string m_pszRegistryKey;
    std::string m_pszProfileName;
    // The exit code of the last WM_QUIT seen by Run.
    int m_exitCode = 0;

private:
    RegistryProfile profile_;
    std::string explicitName_;
};

// The one application object of the process (null before it is constructed).
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// Where bitmaps, icons and dialog templates are loaded from.
HINSTANCE AfxGetResourceHandle();

// The entry point's work: initialise the application object, run it, and
// return the process exit code.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// Registers (once per distinct set of arguments) a window class whose
// windows are handled by the framework, and returns its name. The name is
// valid for the life of the process.
const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                HICON icon = nullptr);

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to a window, or null.
    static CWnd* FromHandlePermanent(HWND window);
    // The bound object, or a temporary one that lives until the message loop
    // next runs out of messages. Null for a null handle.
    static CWnd* FromHandle(HWND window);
    static void DeleteTempMap();

    // Binds this object to an existing window without touching its procedure.
    BOOL Attach(HWND window);
    HWND Detach();
    // Binds this object to an existing window and routes its messages
    // through WindowProc; the window's own procedure does the default
    // processing.
    BOOL SubclassWindow(HWND window);
    // Called by SubclassWindow once the object is bound and before its
    // procedure sees the first message, so that a control class can adjust
    // the window (its style, say) it is being bound to.
    virtual void PreSubclassWindow();
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // Creates the window and binds it to this object before its first
    // message. Any window class works: one of AfxRegisterWndClass or a
    // system class, which is then subclassed. On failure the object is left
    // as it was before the call (PostNcDestroy is not called).
    virtual BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
    virtual BOOL DestroyWindow();

    // Every message for the window arrives here first. The base version
    // offers it to OnWndMsg and otherwise gives it default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The message map: true when a handler took the message, with its result.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // What the window would do without this object: the procedure it was
    // subclassed from, or the system's default window procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled right now.
    LRESULT Default();
    // Called after the last message (WM_NCDESTROY), with the object already
    // unbound; an object that lives on the heap may delete itself here.
    virtual void PostNcDestroy();
    // A notification or a drawing request a parent reflects back to the
    // child it concerns (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
    // WM_MEASUREITEM, WM_CTLCOLOR*). True when the child took it.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // True when the message was taken and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Handlers of the base map; each gives the message default processing.
    virtual int OnCreate(LPCREATESTRUCTA createStruct);
    virtual void OnDestroy();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnPaint();
    virtual void OnNcDestroy();

    // Thin wrappers over the window functions.
    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, elapse, proc); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

    static LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // The procedure a subclassed window had before; null for windows of the
    // framework's own classes.
    WNDPROC m_pfnSuper = nullptr;

private:
    friend LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    bool inCreate_ = false;
    bool temporary_ = false;
};

// The message being handled on this thread, for Default().
struct CurrentMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
