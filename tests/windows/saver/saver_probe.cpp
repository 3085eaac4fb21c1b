// A test-only Windows program that starts Vemo.scr and reports what it does.
//
//   saver_probe preview SCR SECONDS
//     Creates a 152 x 112 popup at (100, 100), starts "SCR /p HANDLE", and
//     after SECONDS / 2 posts key, click and mouse messages to the saver's
//     child window (a preview must ignore them). After SECONDS it destroys
//     its window and waits for the saver to end.
//   saver_probe watch SECONDS SCR ARGS...
//     Starts "SCR ARGS..." and reports every top-level window of the saver's
//     process until it ends, for at most SECONDS.
//   saver_probe poke
//     Posts one WM_MOUSEMOVE to every visible saver window (a window of the
//     framework's classes), so that its mouse test takes the cursor where
//     it is now as the reference point, whether or not the system has sent
//     a mouse message yet.
//
// Lines on stdout:  "host HANDLE", "child W H STYLE EXSTYLE",
// "alive after input", "window W H STYLE EXSTYLE", "exit CODE MS" (MS: time
// from the start, or for a preview from the destruction of the host window),
// "timeout". Exit status 0 when the saver ended in time, 1 otherwise.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

bool StartSaver(const std::string& commandLine, PROCESS_INFORMATION& pi) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string line = commandLine;
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != FALSE;
}

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool WaitForExit(HANDLE process, DWORD milliseconds, DWORD& code) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process, &code);
            return true;
        }
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
        Pump(20);
    }
}

void ReportWindow(const char* kind, HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    std::printf("%s %ld %ld %08lx %08lx\n", kind, r.right - r.left, r.bottom - r.top,
                static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    std::fflush(stdout);
}

int Preview(const std::string& scr, int seconds) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    // Black, so that anything non-black in it was drawn by the saver.
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "SaverProbeHost";
    RegisterClassA(&wc);
    HWND host = CreateWindowExA(0, wc.lpszClassName, "preview host", WS_POPUP | WS_VISIBLE, 100, 100, 152, 112,
                                nullptr, nullptr, wc.hInstance, nullptr);
    if (!host) return 1;
    std::printf("host %lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(host)));
    std::fflush(stdout);

    PROCESS_INFORMATION pi = {};
    if (!StartSaver(Quote(scr) + " /p " + std::to_string(reinterpret_cast<ULONG_PTR>(host)), pi)) return 1;

    const DWORD half = static_cast<DWORD>(seconds) * 500;
    Pump(half);
    HWND child = GetWindow(host, GW_CHILD);
    if (child) {
        ReportWindow("child", child);
        // What closes a full-screen saver at once.
        PostMessageA(child, WM_KEYDOWN, 'A', 0x001E0001);
        PostMessageA(child, WM_SYSKEYDOWN, 'X', 0x002D0001);
        PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        for (int i = 0; i < 5; ++i) PostMessageA(child, WM_MOUSEMOVE, 0, MAKELPARAM(10 + 20 * i, 10 + 10 * i));
    }
    DWORD code = 0;
    if (WaitForExit(pi.hProcess, half, code)) {
        std::printf("exit %lu early\n", static_cast<unsigned long>(code));
        return 1;
    }
    std::printf("alive after input\n");
    std::fflush(stdout);

    DestroyWindow(host);
    const DWORD destroyed = GetTickCount();
    if (!WaitForExit(pi.hProcess, 10000, code)) {
        std::printf("timeout\n");
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    std::printf("exit %lu %lu\n", static_cast<unsigned long>(code),
                static_cast<unsigned long>(GetTickCount() - destroyed));
    return 0;
}

struct WatchState {
    DWORD pid;
    std::set<HWND>* seen;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<WatchState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == state->pid && IsWindowVisible(window) && state->seen->insert(window).second) {
        ReportWindow("window", window);
    }
    return TRUE;
}

int Watch(int seconds, const std::string& commandLine) {
    PROCESS_INFORMATION pi = {};
    const DWORD start = GetTickCount();
    if (!StartSaver(commandLine, pi)) return 1;
    std::set<HWND> seen;
    WatchState state{pi.dwProcessId, &seen};
    const DWORD limit = static_cast<DWORD>(seconds) * 1000;
    for (;;) {
        EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
        DWORD code = 0;
        if (WaitForExit(pi.hProcess, 50, code)) {
            std::printf("exit %lu %lu\n", static_cast<unsigned long>(code),
                        static_cast<unsigned long>(GetTickCount() - start));
            return 0;
        }
        if (GetTickCount() - start > limit) {
            std::printf("timeout\n");
            TerminateProcess(pi.hProcess, 1);
            return 1;
        }
    }
}

BOOL CALLBACK PokeWindow(HWND window, LPARAM param) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && std::strncmp(name, "Scorvane:", 9) == 0) {
        PostMessageA(window, WM_MOUSEMOVE, 0, 0);
        ++*reinterpret_cast<int*>(param);
    }
    return TRUE;
}

int Poke() {
    int count = 0;
    EnumWindows(PokeWindow, reinterpret_cast<LPARAM>(&count));
    POINT p = {0, 0};
    GetCursorPos(&p);
    std::printf("poked %d at %ld,%ld\n", count, p.x, p.y);
    return count > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Plain LF line ends for the shell script that reads this.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "poke" && argc == 2) return Poke();
    if (mode == "preview" && argc == 4) return Preview(argv[2], std::atoi(argv[3]));
    if (mode == "watch" && argc >= 4) {
        std::string line = Quote(argv[3]);
        for (int i = 4; i < argc; ++i) line += std::string(" ") + argv[i];
        return Watch(std::atoi(argv[2]), line);
    }
    std::fprintf(stderr, "usage: saver_probe preview SCR SECONDS | watch SECONDS SCR ARGS... | poke\n");
    return 2;
}
