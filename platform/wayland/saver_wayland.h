#pragma once
// The full-screen saver on a Wayland compositor: a board on each output.
//
// Where the compositor offers the wlroots layer shell (sway, Hyprland, KDE)
// each board is an overlay surface above every window of its output, with
// the keyboard to itself; elsewhere it is an xdg-shell toplevel made
// fullscreen on its output. The boards play on the software canvas, whose
// changed rectangles (blown up at a stage scale above 1) go into wl_shm
// buffers and reach the compositor as damage. The first board hears the
// input and its clock paces the others, as on X11.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "display/stage_scale.h"

class WaylandSaver {
public:
    struct Settings {
        // kAutoStageScale or a fixed factor: see StageScaleFor.
        int scale = kAutoStageScale;
        std::ostream* trace = nullptr;  // every drawing operation of the first board
        // Leave the layer shell unused even where it is offered.
        bool noLayerShell = false;
    };

    // `championship` is the association code in use; its display name is the
    // board's title.
    WaylandSaver(std::string championship, Settings settings);
    ~WaylandSaver();
    WaylandSaver(const WaylandSaver&) = delete;
    WaylandSaver& operator=(const WaylandSaver&) = delete;

    // Connects to `displayName` (null: WAYLAND_DISPLAY) and puts a surface
    // on every output, waiting until the compositor has given each its size.
    // False with the reason in `error`.
    bool Create(const char* displayName, std::string& error);

    // Plays the boards until a key, a button, a scroll or a pointer move of
    // more than 5 pixels, until the compositor closes the surfaces or drops
    // the connection, or until `stopFd` becomes readable (a stop signal).
    // Returns the exit status: 0, or 1 when the connection failed.
    int Run(int stopFd);

    std::size_t Boards() const;
    bool UsesLayerShell() const;
    std::uint64_t FramesPlayed() const;

    // What the compositor's callbacks work on.
    struct State;

private:
    std::unique_ptr<State> state_;
};
