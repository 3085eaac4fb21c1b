#include "platform/x11/vemo_options.h"

#include <cctype>

#include "display/stage_scale.h"

bool ParseWindowId(const std::string& text, std::uint64_t& id) {
    std::size_t i = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= text.size()) return false;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c)) {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(c)) {
            digit = std::tolower(c) - 'a' + 10;
        } else {
            return false;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0x1FFFFFFFu) return false;
    }
    if (value == 0) return false;
    id = value;
    return true;
}

bool ParseVemoArguments(int argc, const char* const* argv, VemoOptions& options, std::string& error) {
    options = VemoOptions{};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // XScreenSaver 6 writes its switches with two dashes.
        const bool rootSwitch = arg == "-root" || arg == "--root";
        const bool windowIdSwitch = arg == "-window-id" || arg == "--window-id";
        if (arg.rfind("--", 0) == 0 && !rootSwitch && !windowIdSwitch) {
            if (arg == "--help") {
                options.help = true;
            } else if (arg == "--version") {
                options.version = true;
            } else if (arg == "--print-status") {
                options.printStatus = true;
            } else if (arg == "--x11" || arg == "--wayland") {
                (arg == "--x11" ? options.x11 : options.wayland) = true;
                if (options.x11 && options.wayland) {
                    error = "--x11 and --wayland exclude each other";
                    return false;
                }
            } else if (arg == "--xdg-shell") {
                options.xdgShell = true;
            } else if (arg == "--no-shm") {
                options.noShm = true;
            } else if (arg == "--trace") {
                if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                    error = "--trace needs a file name";
                    return false;
                }
                options.traceFile = argv[++i];
            } else if (arg == "--scale") {
                if (i + 1 >= argc || !ParseStageScale(argv[i + 1], options.scale)) {
                    error = "--scale needs auto, 1, 2, 3 or 4";
                    return false;
                }
                options.haveScale = true;
                ++i;
            } else if (arg == "--team" || arg == "--rotation") {
                // An empty value is a choice: no club, no rotation.
                if (i + 1 >= argc) {
                    error = arg + (arg == "--team" ? " needs a club name" : " needs association codes");
                    return false;
                }
                (arg == "--team" ? options.haveTeam : options.haveRotation) = true;
                (arg == "--team" ? options.team : options.rotation) = argv[++i];
            } else {
                error = "unknown option '" + arg + "'";
                return false;
            }
            continue;
        }
        if (!options.commandLine.empty()) options.commandLine += ' ';
        options.commandLine += arg;
        if (rootSwitch) {
            options.root = true;
        } else if (windowIdSwitch) {
            if (i + 1 >= argc || !ParseWindowId(argv[i + 1], options.windowId)) {
                error = arg + " needs a window id";
                return false;
            }
            options.haveWindowId = true;
            options.commandLine += ' ';
            options.commandLine += argv[++i];
        }
    }
    return true;
}

bool ChooseSaverTarget(const VemoOptions& options, std::uintptr_t previewParent, const char* xscreensaverWindow,
                       SaverTarget& target, std::string& error) {
    target = SaverTarget{};
    if (previewParent != 0) {
        target.kind = SaverTargetKind::Preview;
        target.window = previewParent;
        return true;
    }
    if (options.haveWindowId) {
        target.kind = SaverTargetKind::Embedded;
        target.window = options.windowId;
        return true;
    }
    if (xscreensaverWindow != nullptr) {
        if (!ParseWindowId(xscreensaverWindow, target.window)) {
            error = std::string("XSCREENSAVER_WINDOW holds no window id: '") + xscreensaverWindow + "'";
            return false;
        }
        target.kind = SaverTargetKind::Embedded;
        return true;
    }
    if (options.root) target.kind = SaverTargetKind::Root;
    return true;
}

SaverFrontEnd ChooseFrontEnd(const VemoOptions& options, SaverTargetKind kind, const char* waylandDisplay,
                             bool& chosen) {
    chosen = options.x11 || options.wayland;
    if (kind != SaverTargetKind::FullScreen || options.x11) return SaverFrontEnd::X11;
    if (options.wayland) return SaverFrontEnd::Wayland;
    return waylandDisplay != nullptr && waylandDisplay[0] != '\0' ? SaverFrontEnd::Wayland : SaverFrontEnd::X11;
}

std::string StartupCommandLine(const VemoOptions& options, const char* xscreensaverWindow) {
    if (xscreensaverWindow != nullptr && options.commandLine.find_first_of("/-") == std::string::npos) return "/s";
    return options.commandLine;
}

const char kVemoUsage[] =
    "usage: vemo [/s | /p ID | /c] [-root | -window-id ID] [OPTIONS]\n"
    "\n"
    "The Scorvane screen saver for X11 and Wayland: the current national-league\n"
    "table of one football association, downloaded once at start, played as\n"
    "animated scenes.\n"
    "\n"
    "Modes (the screen-saver switches; '-' works as well as '/'):\n"
    "  /s         full screen, a board of its own on each monitor; a key, a\n"
    "             mouse button or a mouse movement of more than 5 pixels ends\n"
    "             it. On Wayland (WAYLAND_DISPLAY set) an overlay surface on\n"
    "             each output where the compositor offers the layer shell\n"
    "             (sway, Hyprland, KDE), else a fullscreen window on each\n"
    "             output; elsewhere an X11 window over the default screen\n"
    "  /p ID      preview: a child filling the X window whose decimal id is ID;\n"
    "             ignores input and ends when that window is destroyed\n"
    "  /c         the settings dialog (choice of championship)\n"
    "  (none)     the settings dialog; any other switch runs full screen\n"
    "\n"
    "XScreenSaver:\n"
    "  -root           draw into the window XScreenSaver gives in the\n"
    "                  XSCREENSAVER_WINDOW variable, or into the root window\n"
    "  -window-id ID   draw into window ID (decimal or 0x hex)\n"
    "  (--root and --window-id ID are the same)\n"
    "  When drawing into a given window the saver follows its size, leaves\n"
    "  input to the daemon and ends on SIGTERM.\n"
    "\n"
    "Options:\n"
    "  --print-status  run the start-up (settings, connection test, download),\n"
    "                  print the championship, the server, the status line the\n"
    "                  board would show (empty when the table was obtained) and\n"
    "                  the number of table rows, then exit: 0 when a table was\n"
    "                  obtained, 1 when not\n"
    "  --trace FILE    write what is drawn to FILE: a line 'vemo MODE WxH\n"
    "                  shm|putimage' (on Wayland 'vemo fullscreen WxH wayland\n"
    "                  layer-shell|xdg-shell'), then for every frame 'frame N' and one line\n"
    "                  per drawing operation:\n"
    "                    text L T R B #RRGGBB FORMAT \"TEXT\"\n"
    "                    fill L T R B #RRGGBB\n"
    "                    image ID DL DT DR DB SL ST SR SB\n"
    "                  (WxH is the stage of the first monitor; ' scale S' follows\n"
    "                  when S is above 1, ' monitors N' when N monitors each\n"
    "                  show a board)\n"
    "  --x11           full screen on X11 (DISPLAY) even where WAYLAND_DISPLAY\n"
    "                  is set\n"
    "  --wayland       full screen on Wayland, and an error when the compositor\n"
    "                  cannot be reached (without either, vemo falls back to\n"
    "                  X11 when it cannot)\n"
    "  --xdg-shell     on Wayland, fullscreen windows even where the compositor\n"
    "                  offers the layer shell\n"
    "  --no-shm        send frames with XPutImage even where MIT-SHM is offered\n"
    "  --scale S       auto, 1, 2, 3 or 4, over the Scale setting: the board is\n"
    "                  played on a stage of the window's size divided by S, each\n"
    "                  stage pixel shown as an S x S block; auto takes the\n"
    "                  largest S that leaves a stage of at least 1280x720\n"
    "  --team NAME     over the Team setting: the club whose row is drawn in\n"
    "                  gold, matched as whole words without regard to case\n"
    "                  (\"Bayern\" matches \"FC Bayern M\xc3\xbcnchen\"); a name that\n"
    "                  matches no club or several picks none, and says so\n"
    "  --rotation CODES  over the Rotation setting: association codes separated\n"
    "                  by commas (eng,esp,ger), one league per scene in turn,\n"
    "                  all downloaded at start; takes the Championship's place\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "\n"
    "Settings: [Settings] Championship (an association code, default ger),\n"
    "Results (base URL of the open match results), Server (host:port of a\n"
    "standings site; none by default, then the table comes from the open\n"
    "results), Scale (as --scale, default auto), Team and Rotation (as --team\n"
    "and --rotation) in $XDG_CONFIG_HOME/vemo/vemo.ini ($HOME/.config when\n"
    "unset).\n";
