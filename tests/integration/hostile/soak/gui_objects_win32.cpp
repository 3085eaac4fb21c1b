// Samples the GDI and USER object counts of a running program, for the long
// run of Vemo.scr (scripts/soak wine). Built by that script with the MinGW
// compiler; a Windows program, 32-bit like the saver it watches.
//
//   gui_objects EXE-NAME SECONDS INTERVAL
//
// Prints one line per sample: "seconds gdi user windows", then the GDI
// objects by type where the table is read. GetGuiResources
// is asked first; where it gives nothing (Wine implements it as a stub that
// fails with ERROR_CALL_NOT_IMPLEMENTED), the GDI count is read from the
// program's GDI handle table (its process environment block points at it;
// Wine keeps the Windows layout of 24-byte entries there), after checking on
// this program's own table that the reading counts objects exactly (Wine 8
// keeps it where a 32-bit process on 64-bit Windows has it: the 64-bit PEB).
// USER objects then have no reading; the program's windows are counted
// instead.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

#pragma pack(push, 1)
struct GdiHandleEntry {
    unsigned long long object;
    unsigned long owner;  // process id in the low 16 bits
    unsigned short unique;
    unsigned char type;
    unsigned char flags;
    unsigned long long userPointer;
};
#pragma pack(pop)
static_assert(sizeof(GdiHandleEntry) == 24, "Wine's GDI_HANDLE_ENTRY");
constexpr DWORD kGdiHandles = 0x10000;
constexpr DWORD kPebGdiTableOffset = 0x94;     // 32-bit PEB: GdiSharedHandleTable
constexpr DWORD kPeb64GdiTableOffset = 0xF8;   // 64-bit PEB: the same

struct ProcessBasicInformation {
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR parentProcessId;
};
using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// Live entries of the process's GDI handle table by the type byte of the
// handle (Wine's NTGDI_OBJ_* values: 1 DC, 4 region, 8 palette, 9 bitmap,
// 10 font, 16 brush, 48 pen, ...), or an empty table when it cannot be read.
struct GdiTally {
    long live = -1;
    long byType[256] = {};
};

GdiTally TallyGdiTable(HANDLE process) {
    GdiTally tally;
    static NtQueryInformationProcessFn query = reinterpret_cast<NtQueryInformationProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return tally;
    ProcessBasicInformation info{};
    if (query(process, 0, &info, sizeof info, nullptr) != 0 || !info.pebBaseAddress) return tally;
    // A 32-bit process on a 64-bit system has the pointer in its 64-bit
    // PEB, one page below the 32-bit one.
    unsigned long long table = 0;
    SIZE_T got = 0;
    DWORD table32 = 0;
    char* peb = static_cast<char*>(info.pebBaseAddress);
    if (ReadProcessMemory(process, peb + kPebGdiTableOffset, &table32, sizeof table32, &got) && got == sizeof table32)
        table = table32;
    if (table == 0 && (!ReadProcessMemory(process, peb - 0x1000 + kPeb64GdiTableOffset, &table, sizeof table, &got) ||
                       got != sizeof table))
        table = 0;
    if (table == 0 || table > 0xFFFFFFFFull) return tally;
    static std::vector<GdiHandleEntry> entries(kGdiHandles);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<ULONG_PTR>(table)), entries.data(),
                           entries.size() * sizeof(GdiHandleEntry), &got) ||
        got != entries.size() * sizeof(GdiHandleEntry))
        return tally;
    tally.live = 0;
    for (const GdiHandleEntry& e : entries) {
        if (e.type == 0) continue;
        ++tally.live;
        ++tally.byType[e.type];
    }
    return tally;
}

long CountGdiTable(HANDLE process) { return TallyGdiTable(process).live; }

std::string TypesOf(const GdiTally& tally) {
    std::string out;
    for (int t = 1; t < 256; ++t)
        if (tally.byType[t] != 0) out += " " + std::to_string(t) + ":" + std::to_string(tally.byType[t]);
    return out;
}

// The table reading counts this program's own objects exactly.
bool TableReadingWorks() {
    HANDLE self = GetCurrentProcess();
    const long before = CountGdiTable(self);
    if (before < 0) return false;
    HBRUSH brushes[40];
    for (HBRUSH& b : brushes) b = CreateSolidBrush(RGB(1, 2, 3));
    const long during = CountGdiTable(self);
    for (HBRUSH b : brushes) DeleteObject(b);
    const long after = CountGdiTable(self);
    return during == before + 40 && after == before;
}

DWORD FindProcess(const char* exe) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL ok = Process32First(snap, &entry); ok && !found; ok = Process32Next(snap, &entry))
        if (lstrcmpiA(entry.szExeFile, exe) == 0) found = entry.th32ProcessID;
    CloseHandle(snap);
    return found;
}

struct WindowCount {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountChild(HWND w, LPARAM p) {
    WindowCount& c = *reinterpret_cast<WindowCount*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == c.pid) ++c.count;
    return TRUE;
}

BOOL CALLBACK CountTop(HWND w, LPARAM p) {
    CountChild(w, p);
    EnumChildWindows(w, CountChild, p);
    return TRUE;
}

long CountWindows(DWORD pid) {
    WindowCount c{pid, 0};
    EnumWindows(CountTop, reinterpret_cast<LPARAM>(&c));
    return c.count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gui_objects EXE-NAME SECONDS INTERVAL\n");
        return 2;
    }
    const char* exe = argv[1];
    const int seconds = std::atoi(argv[2]);
    const int interval = std::atoi(argv[3]) > 0 ? std::atoi(argv[3]) : 1;

    DWORD pid = 0;
    for (int i = 0; i < 200 && !(pid = FindProcess(exe)); ++i) Sleep(100);
    if (!pid) {
        std::fprintf(stderr, "gui_objects: no process %s\n", exe);
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        std::fprintf(stderr, "gui_objects: cannot open process %lu (error %lu)\n", pid, GetLastError());
        return 1;
    }

    SetLastError(0);
    const DWORD gdiAnswer = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD gdiError = GetLastError();
    SetLastError(0);
    const DWORD userAnswer = GetGuiResources(process, GR_USEROBJECTS);
    const DWORD userError = GetLastError();
    std::printf("# GetGuiResources: GDI %lu (error %lu), USER %lu (error %lu)\n", gdiAnswer, gdiError, userAnswer,
                userError);
    const bool answered = gdiAnswer != 0 || userAnswer != 0;
    const bool table = !answered && TableReadingWorks();
    if (answered)
        std::printf("# counts from GetGuiResources\n");
    else if (table)
        std::printf("# GDI counts from the process's GDI handle table (checked on this program's own table); "
                    "USER counts unavailable (-1)\n");
    else
        std::printf("# no GDI or USER count can be read here (-1)\n");
    std::printf("# seconds gdi user windows [gdi type:count ...]\n");
    std::fflush(stdout);

    const DWORD start = GetTickCount();
    for (;;) {
        DWORD code = 0;
        if (!GetExitCodeProcess(process, &code) || code != STILL_ACTIVE) {
            std::printf("# the process ended\n");
            return 1;
        }
        GdiTally tally;
        if (table) tally = TallyGdiTable(process);
        const long gdi = answered ? static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS)) : tally.live;
        const long user = answered ? static_cast<long>(GetGuiResources(process, GR_USEROBJECTS)) : -1;
        const DWORD elapsed = (GetTickCount() - start) / 1000;
        std::printf("%lu %ld %ld %ld%s\n", elapsed, gdi, user, CountWindows(pid), TypesOf(tally).c_str());
        std::fflush(stdout);
        if (static_cast<int>(elapsed) >= seconds) break;
        Sleep(static_cast<DWORD>(interval) * 1000);
    }
    CloseHandle(process);
    return 0;
}
