#include "platform/win32/framework.h"

#include <cstdio>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

// The framework is used from one thread only (the program's one), so its
// bookkeeping lives in plain process-wide objects.
namespace {

CWinApp* theApplication = nullptr;

std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

std::unordered_map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

CurrentMessage currentMessage;

// Windows being created by CreateEx, innermost last. The creation hook binds
// the next created window of the expected class to its object before the
// window sees its first message.
struct PendingCreation {
    CWnd* wnd;
    LPCSTR className;
};
std::vector<PendingCreation> pendingCreations;
HHOOK creationHook = nullptr;

bool ClassMatches(HWND window, LPCSTR className) {
    if (IS_INTRESOURCE(className)) {
        return GetClassWord(window, GCW_ATOM) == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(className));
    }
    char actual[256] = {};
    if (!GetClassNameA(window, actual, sizeof actual)) return false;
    return lstrcmpiA(actual, className) == 0;
}

}  // namespace

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !pendingCreations.empty()) {
        PendingCreation& pending = pendingCreations.back();
        HWND window = reinterpret_cast<HWND>(wParam);
        if (pending.wnd && !pending.wnd->m_hWnd && ClassMatches(window, pending.className)) {
            CWnd* wnd = pending.wnd;
            pending.wnd = nullptr;
            wnd->Attach(window);
            WNDPROC proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
            if (proc != &CWnd::FrameworkWndProc) {
                wnd->m_pfnSuper = proc;
                SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::FrameworkWndProc));
            }
        }
    }
    return CallNextHookEx(creationHook, code, wParam, lParam);
}

// ---------------------------------------------------------------- CWinApp

CWinApp::CWinApp(const char* appName) {
    if (appName) explicitName_ = appName;
    theApplication = this;
}

CWinApp::~CWinApp() {
    if (theApplication == this) theApplication = nullptr;
}

CWinApp* AfxGetApp() { return theApplication; }

HINSTANCE AfxGetInstanceHandle() {
    if (theApplication && theApplication->m_hInstance) return theApplication->m_hInstance;
    return GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

void CWinApp::SetCurrentHandles(HINSTANCE instance, LPSTR commandLine, int showCommand) {
    m_hInstance = instance;
    m_lpCmdLine = commandLine;
    m_nCmdShow = showCommand;

    std::vector<char> path(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameA(instance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            path.assign(1, '\0');
            break;
        }
        if (n < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::string name(path.data());
    const std::size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    m_pszExeName = name;
    m_pszAppName = explicitName_.empty() ? m_pszExeName : explicitName_;
}

BOOL CWinApp::InitInstance() { return TRUE; }

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
    for (HWND window = msg->hwnd; window; window = ::GetParent(window)) {
        CWnd* wnd = CWnd::FromHandlePermanent(window);
        if (wnd && wnd->PreTranslateMessage(msg)) return TRUE;
        if (m_pMainWnd && window == m_pMainWnd->m_hWnd) break;
    }
    return FALSE;
}

int CWinApp::Run() {
    MSG msg;
    for (;;) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) CWnd::DeleteTempMap();
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) {
            m_exitCode = -1;
            break;
        }
        if (got == 0) {
            m_exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    CWnd::DeleteTempMap();
    return m_exitCode;
}

void CWinApp::SetRegistryKey(const char* registryKey) {
    m_pszRegistryKey = registryKey ? registryKey : "";
    m_pszProfileName = m_pszAppName;
    profile_.SetKeys(m_pszRegistryKey, m_pszProfileName);
}

std::string CWinApp::GetProfileString(const std::string& section, const std::string& entry,
                                      const std::string& defaultValue) {
    return profile_.GetProfileString(section, entry, defaultValue);
}

bool CWinApp::WriteProfileString(const std::string& section, const std::string& entry,
                                 const std::string& value) {
    return profile_.WriteProfileString(section, entry, value);
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->SetCurrentHandles(instance, commandLine, showCommand);
    if (!app->InitInstance()) {
        if (app->m_pMainWnd && app->m_pMainWnd->m_hWnd) app->m_pMainWnd->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}

const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    static std::set<std::string> names;
    HINSTANCE instance = AfxGetInstanceHandle();
    char name[128];
    std::snprintf(name, sizeof name, "Scorvane:%p:%x:%p:%p:%p", static_cast<void*>(instance), classStyle,
                  static_cast<void*>(cursor), static_cast<void*>(background), static_cast<void*>(icon));
    auto [it, inserted] = names.insert(name);
    WNDCLASSA existing;
    if (!inserted && GetClassInfoA(instance, it->c_str(), &existing)) return it->c_str();

    WNDCLASSA wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::FrameworkWndProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = it->c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        names.erase(it);
        return nullptr;
    }
    return it->c_str();
}

// ---------------------------------------------------------------- CWnd

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (theApplication && theApplication->m_pMainWnd == this) theApplication->m_pMainWnd = nullptr;
    if (!m_hWnd) return;
    if (temporary_) {
        m_hWnd = nullptr;
        return;
    }
    // The object goes before its window: unbind first, so that the window's
    // last messages never reach a half-destroyed object.
    HWND window = m_pfnSuper ? UnsubclassWindow() : Detach();
    ::DestroyWindow(window);
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    if (!window) return nullptr;
    auto& map = PermanentMap();
    auto it = map.find(window);
    return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND window) {
    if (!window) return nullptr;
    if (CWnd* wnd = FromHandlePermanent(window)) return wnd;
    auto& slot = TemporaryMap()[window];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = window;
        slot->temporary_ = true;
    }
    return slot.get();
}

void CWnd::DeleteTempMap() { TemporaryMap().clear(); }

BOOL CWnd::Attach(HWND window) {
    if (!window || m_hWnd || FromHandlePermanent(window)) return FALSE;
    m_hWnd = window;
    PermanentMap()[window] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND window = m_hWnd;
    if (window) {
        auto& map = PermanentMap();
        auto it = map.find(window);
        if (it != map.end() && it->second == this) map.erase(it);
    }
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (!::IsWindow(window) || !Attach(window)) return FALSE;
    PreSubclassWindow();
    WNDPROC old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::FrameworkWndProc)));
    if (old != &CWnd::FrameworkWndProc) m_pfnSuper = old;
    return TRUE;
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent) return FALSE;
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
    if (m_hWnd && m_pfnSuper) {
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    }
    m_pfnSuper = nullptr;
    return Detach();
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu, LPVOID param) {
    if (m_hWnd || !className) return FALSE;
    pendingCreations.push_back({this, className});
    if (!creationHook) creationHook = SetWindowsHookExA(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
    inCreate_ = true;
    HWND window = CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, idOrMenu,
                                  AfxGetInstanceHandle(), param);
    inCreate_ = false;
    pendingCreations.pop_back();
    if (pendingCreations.empty() && creationHook) {
        UnhookWindowsHookEx(creationHook);
        creationHook = nullptr;
    }
    if (!window) {
        // A window that got as far as WM_NCCREATE has been destroyed and
        // unbound again; the object is as it was.
        if (m_hWnd) Detach();
        m_pfnSuper = nullptr;
        return FALSE;
    }
    if (m_hWnd != window) {
        // The hook did not see the window (another hook swallowed the
        // notification): bind it now.
        if (m_hWnd) Detach();
        SubclassWindow(window);
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CWnd::FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(window);
    if (!wnd) return ::DefWindowProcA(window, message, wParam, lParam);
    const CurrentMessage saved = currentMessage;
    currentMessage = {window, message, wParam, lParam};
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    currentMessage = saved;
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    CWnd* child = nullptr;
    switch (message) {
    case WM_NCDESTROY:
        OnNcDestroy();
        *result = 0;
        return TRUE;
    case WM_COMMAND:
        child = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
        break;
    case WM_NOTIFY:
        if (lParam) child = FromHandlePermanent(reinterpret_cast<NMHDR*>(lParam)->hwndFrom);
        break;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU) child = FromHandlePermanent(item->hwndItem);
        break;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU) {
            child = FromHandlePermanent(::GetDlgItem(m_hWnd, static_cast<int>(item->CtlID)));
        }
        break;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
        break;
    default:
        break;
    }
    if (child && child != this && child->OnChildNotify(message, wParam, lParam, result)) return TRUE;
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(currentMessage.message, currentMessage.wParam, currentMessage.lParam);
}

void CWnd::PostNcDestroy() {}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

int CWnd::OnCreate(LPCREATESTRUCTA) { return static_cast<int>(Default()); }

void CWnd::OnDestroy() { Default(); }

void CWnd::OnTimer(UINT_PTR) { Default(); }

void CWnd::OnPaint() { Default(); }

void CWnd::OnNcDestroy() {
    Default();
    if (theApplication && theApplication->m_pMainWnd == this) theApplication->m_pMainWnd = nullptr;
    if (m_pfnSuper) {
        UnsubclassWindow();
    } else {
        Detach();
    }
    // A window destroyed while CreateEx is still running is a failed
    // creation: its object goes back to the caller, which owns it.
    if (!inCreate_) PostNcDestroy();
}
