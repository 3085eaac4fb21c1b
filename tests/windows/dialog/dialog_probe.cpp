// A test-only Windows program that looks at the settings dialog of another
// process from outside, as the user's tools would.
//
//   dialog_probe wait SECONDS    waits for the dialog, then prints its state
//   dialog_probe state           prints the state now ("none" if no dialog)
//   dialog_probe gone SECONDS    waits until no dialog is left
//   dialog_probe hit X Y         what a click at screen point (X, Y) reaches
//   dialog_probe tooltip         the text of every tooltip shown ("tooltip TEXT")
//   dialog_probe activate        brings the dialog to the foreground, as a
//                                window manager would on a click
//
// State lines:
//   dialog HANDLE
//   caption TEXT
//   style STYLE EXSTYLE            (hexadecimal)
//   owner HANDLE
//   window LEFT TOP RIGHT BOTTOM   (screen)
//   client X Y WIDTH HEIGHT        (client origin on the screen, client size)
//   baseunits X Y                  (dialog base units the template was laid out with)
//   control ID LEFT TOP RIGHT BOTTOM STYLE   (client coordinates)
//   region ID LEFT TOP RIGHT BOTTOM          (bounding box of the window region)
//   text ID TEXT
//   selection INDEX TEXT
//   count N
// "hit" prints "hit dialog", "hit control ID" or "hit other HANDLE".
// Exit status 0 when the dialog was found (or, for "gone", is gone).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kControlIds[] = {IDOK, IDCANCEL, 1000, 1003, 1020, 1021, 1004, 1022, 1005};

// Template rectangles (dialog units) of the two controls that keep their
// template size, for finding the base units the dialog was laid out with.
struct UnitRect {
    int id, x, y, cx, cy;
};
constexpr UnitRect kUnscaled[] = {{1000, 5, 95, 175, 60}, {1020, 195, 6, 60, 8}};

HWND FindDialog() { return FindWindowA("#32770", "Settings"); }

std::string WindowText(HWND window) {
    char text[512] = {};
    const int n = GetWindowTextA(window, text, sizeof text);
    std::string s(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    // One line per record: line feeds of a multi-line text are shown as \n.
    std::string out;
    for (char c : s) {
        if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The integer base units under which every unscaled control lands exactly
// where the dialog manager put it; 0 when none fits.
void FindBaseUnits(HWND dialog, int& bx, int& by) {
    bx = by = 0;
    for (int x = 1; x <= 64 && !bx; ++x) {
        bool fits = true;
        for (const UnitRect& u : kUnscaled) {
            const RECT r = ClientRectOf(dialog, GetDlgItem(dialog, u.id));
            const int left = MulDiv(u.x, x, 4);
            if (r.left != left || r.right != left + MulDiv(u.cx, x, 4)) fits = false;
        }
        if (fits) bx = x;
    }
    for (int y = 1; y <= 64 && !by; ++y) {
        bool fits = true;
        for (const UnitRect& u : kUnscaled) {
            const RECT r = ClientRectOf(dialog, GetDlgItem(dialog, u.id));
            const int top = MulDiv(u.y, y, 8);
            if (r.top != top || r.bottom != top + MulDiv(u.cy, y, 8)) fits = false;
        }
        if (fits) by = y;
    }
}

void PrintState(HWND dialog) {
    std::printf("dialog %p\n", static_cast<void*>(dialog));
    std::printf("caption %s\n", WindowText(dialog).c_str());
    std::printf("style %08lx %08lx\n", static_cast<unsigned long>(GetWindowLongA(dialog, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(dialog, GWL_EXSTYLE)));
    std::printf("owner %p\n", static_cast<void*>(GetWindow(dialog, GW_OWNER)));
    RECT w;
    GetWindowRect(dialog, &w);
    std::printf("window %ld %ld %ld %ld\n", w.left, w.top, w.right, w.bottom);
    RECT c;
    GetClientRect(dialog, &c);
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, c.right, c.bottom);
    int bx = 0;
    int by = 0;
    FindBaseUnits(dialog, bx, by);
    std::printf("baseunits %d %d\n", bx, by);

    for (int id : kControlIds) {
        HWND control = GetDlgItem(dialog, id);
        if (!control) {
            std::printf("control %d missing\n", id);
            continue;
        }
        const RECT r = ClientRectOf(dialog, control);
        std::printf("control %d %ld %ld %ld %ld %08lx\n", id, r.left, r.top, r.right, r.bottom,
                    static_cast<unsigned long>(GetWindowLongA(control, GWL_STYLE)));
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        if (GetWindowRgn(control, region) != ERROR) {
            RECT box;
            GetRgnBox(region, &box);
            std::printf("region %d %ld %ld %ld %ld\n", id, box.left, box.top, box.right, box.bottom);
        }
        DeleteObject(region);
        if (id != 1003 && id != 1005) std::printf("text %d %s\n", id, WindowText(control).c_str());
    }

    HWND list = GetDlgItem(dialog, 1003);
    const LRESULT selection = SendMessageA(list, CB_GETCURSEL, 0, 0);
    std::string selected;
    if (selection != CB_ERR) {
        // Asked in UTF-16: Wine hands another process's ANSI list text
        // over in its wide form.
        const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0);
        if (length != CB_ERR && length < 500) {
            wchar_t wide[512] = {};
            SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(selection), reinterpret_cast<LPARAM>(wide));
            char text[1024] = {};
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
            selected = text;
        }
    }
    std::printf("selection %ld %s\n", static_cast<long>(selection), selected.c_str());
    std::printf("count %ld\n", static_cast<long>(SendMessageA(list, CB_GETCOUNT, 0, 0)));
    std::fflush(stdout);
}

HWND WaitForDialog(int seconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    for (;;) {
        // Found once it is shown: the dialog manager shows it after its
        // initialisation, so the list is filled by then.
        HWND dialog = FindDialog();
        if (dialog && IsWindowVisible(dialog)) return dialog;
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return nullptr;
        Sleep(20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "wait" && argc == 3) {
        HWND dialog = WaitForDialog(std::atoi(argv[2]));
        if (!dialog) {
            std::printf("none\n");
            return 1;
        }
        // Let the first paint finish before anyone looks at the pixels.
        Sleep(300);
        PrintState(dialog);
        return 0;
    }
    if (command == "state" && argc == 2) {
        HWND dialog = FindDialog();
        if (!dialog) {
            std::printf("none\n");
            return 1;
        }
        PrintState(dialog);
        return 0;
    }
    if (command == "gone" && argc == 3) {
        const DWORD end = GetTickCount() + static_cast<DWORD>(std::atoi(argv[2])) * 1000;
        while (FindDialog()) {
            if (static_cast<LONG>(end - GetTickCount()) <= 0) return 1;
            Sleep(20);
        }
        return 0;
    }
    if (command == "hit" && argc == 4) {
        HWND dialog = FindDialog();
        if (!dialog) {
            std::printf("none\n");
            return 1;
        }
        const POINT p = {std::atoi(argv[2]), std::atoi(argv[3])};
        HWND under = WindowFromPoint(p);
        if (under == dialog) {
            std::printf("hit dialog\n");
        } else if (under && GetParent(under) == dialog) {
            std::printf("hit control %d\n", GetDlgCtrlID(under));
        } else {
            std::printf("hit other %p\n", static_cast<void*>(under));
        }
        return 0;
    }
    if (command == "activate" && argc == 2) {
        HWND dialog = FindDialog();
        if (!dialog) {
            std::printf("none\n");
            return 1;
        }
        // Without a window manager Wine makes a new window the foreground
        // one without repainting its caption as active: hand the
        // foreground to a window of the probe and back.
        HWND other = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, nullptr,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(other);
        const BOOL ok = SetForegroundWindow(dialog);
        DestroyWindow(other);
        return ok ? 0 : 1;
    }
    if (command == "tooltip" && argc == 2) {
        for (HWND tip = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); tip;
             tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) {
            if (!IsWindowVisible(tip)) continue;
            // Asked of the control itself: the title GetWindowText reads for
            // another process's window is not the tip on show.
            wchar_t wide[512] = {};
            SendMessageW(tip, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(wide));
            char text[1024] = {};
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
            std::printf("tooltip %s\n", text);
        }
        return 0;
    }
    std::fprintf(stderr, "usage: dialog_probe wait SECONDS | state | gone SECONDS | hit X Y | tooltip | activate\n");
    return 2;
}
