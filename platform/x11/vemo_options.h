#pragma once
// The command line of vemo: its own long options, the switches XScreenSaver
// passes to a hack, and what is left for the screen-saver grammar.

#include <cstdint>
#include <string>

struct VemoOptions {
    bool help = false;
    bool version = false;
    bool printStatus = false;  // --print-status
    bool noShm = false;        // --no-shm
    std::string traceFile;     // --trace FILE
    bool haveScale = false;    // --scale auto|1|2|3|4, over the profile's Scale
    int scale = 0;             // kAutoStageScale or the factor
    bool haveTeam = false;     // --team NAME, over the profile's Team ("" picks none)
    std::string team;          // as typed: UTF-8
    bool haveRotation = false; // --rotation CODES, over the profile's Rotation
    std::string rotation;
    // --x11 or --wayland: which display server a full-screen saver uses;
    // neither: Wayland where WAYLAND_DISPLAY is set.
    bool x11 = false;
    bool wayland = false;
    bool xdgShell = false;     // --xdg-shell: no layer-shell surfaces on Wayland
    bool root = false;         // -root or --root
    bool haveWindowId = false; // -window-id ID or --window-id ID
    std::uint64_t windowId = 0;
    // Every other argument, joined with single blanks: what the screen-saver
    // switch grammar reads (-root and -window-id ID stay in it, as switches
    // of the saver).
    std::string commandLine;
};

// argv[0] is the program name. False, with a message in `error`, for an
// unknown long option or one without its value.
bool ParseVemoArguments(int argc, const char* const* argv, VemoOptions& options, std::string& error);

// A window id written as a decimal number or as 0x followed by hex digits,
// as XScreenSaver writes it. False for anything else, for 0 and for values
// beyond the 29 bits of an X resource id.
bool ParseWindowId(const std::string& text, std::uint64_t& id);

// Where the saver draws.
enum class SaverTargetKind {
    FullScreen,  // a window of its own over the whole default screen
    Preview,     // a child filling the window given with /p
    Embedded,    // straight into a window someone else owns (XScreenSaver)
    Root,        // straight into the root window (-root outside XScreenSaver)
};

struct SaverTarget {
    SaverTargetKind kind = SaverTargetKind::FullScreen;
    std::uint64_t window = 0;  // the parent of a preview, or the embedding window
};

// `previewParent` is what the grammar read behind /p (0 for none);
// `xscreensaverWindow` the value of XSCREENSAVER_WINDOW, or null when unset.
// A preview parent wins, then -window-id, then XSCREENSAVER_WINDOW, then
// -root. False, with a message, when XSCREENSAVER_WINDOW holds no window id.
bool ChooseSaverTarget(const VemoOptions& options, std::uintptr_t previewParent, const char* xscreensaverWindow,
                       SaverTarget& target, std::string& error);

enum class SaverFrontEnd { X11, Wayland };

// Where the full-screen saver goes: --x11 and --wayland decide, else
// Wayland when `waylandDisplay` (WAYLAND_DISPLAY) is set and not empty. A
// preview, a window given by id and the root window are X11 windows.
// `chosen` says whether an option made the choice (a Wayland session that
// cannot be reached then falls back to X11 only when it did not).
SaverFrontEnd ChooseFrontEnd(const VemoOptions& options, SaverTargetKind kind, const char* waylandDisplay,
                             bool& chosen);

// The command line start-up reads. Under XScreenSaver (XSCREENSAVER_WINDOW
// set) a hack is always asked to draw, so a command line without any switch,
// which would otherwise open the settings dialog, runs the saver instead.
std::string StartupCommandLine(const VemoOptions& options, const char* xscreensaverWindow);


extern const char kVemoUsage[];
