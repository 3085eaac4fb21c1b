#include "platform/wayland/saver_wayland.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>
#include <ostream>
#include <vector>

#include <wayland-client.h>

#include "display/saver_session.h"
#include "display/trace_canvas.h"
#include "layer-shell-client.h"
#include "platform/soft/pixel_scale.h"
#include "platform/soft/soft_canvas.h"
#include "platform/soft/soft_font.h"
#include "xdg-shell-client.h"

namespace {

// Past this many rectangles a list of changes becomes their bounding box:
// a frame of many small changes is cheaper sent whole than listed.
constexpr std::size_t kMaxListedChanges = 32;
// Round trips Create waits for the compositor to size the surfaces.
constexpr int kConfigureRoundTrips = 20;

// For the events a listener must have an entry for and the saver ignores.
template <typename... Args>
void Ignore(void*, Args...) {}

void AddChange(std::vector<Rect>& list, const Rect& r) {
    if (r.IsEmpty()) return;
    if (list.size() < kMaxListedChanges) {
        list.push_back(r);
        return;
    }
    Rect all = r;
    for (const Rect& listed : list) all = UnionOf(all, listed);
    list.assign(1, all);
}

// A wl_shm buffer over a memfd: the memory leaves with the last of this
// process and the compositor to let go of it, whatever ends the saver.
struct ShmBuffer {
    ShmBuffer() = default;
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;
    ~ShmBuffer() { Drop(); }

    bool Make(wl_shm* shm, int w, int h) {
        Drop();
        const std::size_t stride = static_cast<std::size_t>(w) * 4;
        const std::size_t size = stride * static_cast<std::size_t>(h);
        const int fd = memfd_create("vemo-board", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (fd < 0) return false;
        bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
        void* memory = ok ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
        ok = memory != MAP_FAILED;
        if (ok) {
            // The compositor maps it too: a shrunk file would fault there.
            fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
            wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
            buffer = wl_shm_pool_create_buffer(pool, 0, w, h, static_cast<int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
            // The buffer keeps what it needs of the pool.
            wl_shm_pool_destroy(pool);
            pixels = static_cast<std::uint32_t*>(memory);
            bytes = size;
            width = w;
            height = h;
        }
        close(fd);
        return ok;
    }

    void Drop() {
        if (buffer != nullptr) wl_buffer_destroy(buffer);
        if (pixels != nullptr) munmap(pixels, bytes);
        buffer = nullptr;
        pixels = nullptr;
        busy = false;
        stale.clear();
    }

    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    std::size_t bytes = 0;
    int width = 0;
    int height = 0;
    bool busy = false;  // the compositor holds it until it says release
    // What the canvas changed since this buffer last took its pixels, in
    // stage pixels.
    std::vector<Rect> stale;
};

struct Output {
    wl_output* proxy = nullptr;
    std::uint32_t name = 0;
    Point position;  // in the compositor's layout
    Size mode;       // the current mode, in pixels
    int scale = 1;
};

}  // namespace

struct WaylandSaver::State {
    struct Board {
        Board(FontFactory& fonts, const std::string& championship) : session(fonts, championship), canvas(0, 0) {}
        State* state = nullptr;
        Output* output = nullptr;
        wl_surface* surface = nullptr;
        zwlr_layer_surface_v1* layer = nullptr;
        xdg_surface* xdg = nullptr;
        xdg_toplevel* toplevel = nullptr;
        SaverSession session;
        SoftCanvas canvas;
        Size offered;  // what the last toplevel configure offered, surface-local
        Size logical;  // the surface's size, surface-local
        int bufferScale = 1;
        int stageScale = 1;
        bool configured = false;
        bool gone = false;  // closed by the compositor: removed at the next pass
        ShmBuffer buffers[2];
        std::vector<Rect> uncommitted;  // changes the compositor has not been told of
    };

    State(std::string c, Settings s) : championship(std::move(c)), settings(s) {}
    ~State() { TearDown(); }

    void AddBoard(Output* output);
    void RemoveBoard(std::size_t index);
    void RemoveGoneBoards();
    void Configure(Board& board, Size size);
    void Present(Board& board);
    void PlayFrame(SaverClock::time_point now);
    void Input(const SaverInput& input);
    Point PointerOrigin() const;
    void TearDown();

    std::string championship;
    Settings settings;
    // The stage's fonts are made here: it outlives the sessions.
    SoftFontFactory fontFactory;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    std::uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    // One per output; the first hears the input, is traced, and its clock
    // paces the others.
    std::vector<std::unique_ptr<Board>> boards;
    std::unique_ptr<TraceCanvas> trace;
    const Board* pointerBoard = nullptr;  // the board the pointer is over
    bool running = false;  // past Create: outputs that come get a board at once
    bool closeRequested = false;
    bool tornDown = false;
    std::optional<SaverClock::time_point> due;
    unsigned boardsMade = 0;
};

namespace {

using State = WaylandSaver::State;
using Board = WaylandSaver::State::Board;

// --- buffers ---------------------------------------------------------------

void BufferRelease(void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy = false; }
const wl_buffer_listener kBufferListener = {BufferRelease};

// --- outputs ---------------------------------------------------------------

void OutputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                    int32_t) {
    static_cast<Output*>(data)->position = Point{x, y};
}
void OutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) static_cast<Output*>(data)->mode = Size{width, height};
}
void OutputScale(void* data, wl_output*, int32_t factor) { static_cast<Output*>(data)->scale = std::max(factor, 1); }
const wl_output_listener kOutputListener = {OutputGeometry, OutputMode, Ignore, OutputScale, Ignore, Ignore};

// --- surfaces --------------------------------------------------------------

void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
    auto* board = static_cast<Board*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    board->state->Configure(*board, Size{static_cast<int>(width), static_cast<int>(height)});
}
void LayerClosed(void* data, zwlr_layer_surface_v1*) { static_cast<Board*>(data)->gone = true; }
const zwlr_layer_surface_v1_listener kLayerListener = {LayerConfigure, LayerClosed};

void ToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    static_cast<Board*>(data)->offered = Size{width, height};
}
void ToplevelClose(void* data, xdg_toplevel*) { static_cast<Board*>(data)->state->closeRequested = true; }
const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, Ignore, Ignore};

void XdgSurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    auto* board = static_cast<Board*>(data);
    xdg_surface_ack_configure(surface, serial);
    board->state->Configure(*board, board->offered);
}
const xdg_surface_listener kXdgSurfaceListener = {XdgSurfaceConfigure};

void WmPing(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener kWmBaseListener = {WmPing};

// --- input -----------------------------------------------------------------

void KeyboardKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) {
    // Any key ends the saver: the keymap is never read.
    close(fd);
}
void KeyboardKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) static_cast<State*>(data)->Input(SaverInput{SaverInputKind::Key, {}});
}
const wl_keyboard_listener kKeyboardListener = {KeyboardKeymap, Ignore, Ignore, KeyboardKey, Ignore, Ignore};

Point PointerAt(const State& state, wl_fixed_t x, wl_fixed_t y) {
    const Point origin = state.PointerOrigin();
    return Point{origin.x + wl_fixed_to_int(x), origin.y + wl_fixed_to_int(y)};
}
void PointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    auto* state = static_cast<State*>(data);
    // No cursor over the boards.
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    state->pointerBoard = nullptr;
    for (const auto& board : state->boards)
        if (board->surface == surface) state->pointerBoard = board.get();
    state->Input(SaverInput{SaverInputKind::PointerMove, PointerAt(*state, x, y)});
}
void PointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) { static_cast<State*>(data)->pointerBoard = nullptr; }
void PointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    auto* state = static_cast<State*>(data);
    state->Input(SaverInput{SaverInputKind::PointerMove, PointerAt(*state, x, y)});
}
void PointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t buttonState) {
    if (buttonState == WL_POINTER_BUTTON_STATE_PRESSED)
        static_cast<State*>(data)->Input(SaverInput{SaverInputKind::Button, {}});
}
// A wheel turned is a button on X11, and ends the saver the same way here.
void PointerAxis(void* data, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {
    static_cast<State*>(data)->Input(SaverInput{SaverInputKind::Button, {}});
}
const wl_pointer_listener kPointerListener = {PointerEnter, PointerLeave, PointerMotion, PointerButton, PointerAxis,
                                              Ignore,       Ignore,       Ignore,        Ignore,        Ignore};

void SeatCapabilities(void* data, wl_seat* seat, uint32_t caps) {
    auto* state = static_cast<State*>(data);
    const bool hasKeyboard = (caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool hasPointer = (caps & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (hasKeyboard && state->keyboard == nullptr) {
        state->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(state->keyboard, &kKeyboardListener, state);
    } else if (!hasKeyboard && state->keyboard != nullptr) {
        wl_keyboard_destroy(state->keyboard);
        state->keyboard = nullptr;
    }
    if (hasPointer && state->pointer == nullptr) {
        state->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(state->pointer, &kPointerListener, state);
    } else if (!hasPointer && state->pointer != nullptr) {
        wl_pointer_destroy(state->pointer);
        state->pointer = nullptr;
        state->pointerBoard = nullptr;
    }
}
const wl_seat_listener kSeatListener = {SeatCapabilities, Ignore};

// --- globals ---------------------------------------------------------------

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void RegistryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* state = static_cast<State*>(data);
    const std::string_view what(interface);
    if (what == wl_compositor_interface.name && state->compositor == nullptr) {
        // 4: damage in buffer pixels.
        state->compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
        state->compositorVersion = std::min(version, 4u);
    } else if (what == wl_shm_interface.name && state->shm == nullptr) {
        state->shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (what == wl_seat_interface.name && state->seat == nullptr) {
        state->seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(state->seat, &kSeatListener, state);
    } else if (what == xdg_wm_base_interface.name && state->wmBase == nullptr) {
        state->wmBase = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(state->wmBase, &kWmBaseListener, state);
    } else if (what == zwlr_layer_shell_v1_interface.name && state->layerShell == nullptr &&
               !state->settings.noLayerShell) {
        state->layerShell = Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 1);
    } else if (what == wl_output_interface.name) {
        auto output = std::make_unique<Output>();
        output->name = name;
        // 2: the mode's end (done) and the output's scale.
        output->proxy = Bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(output->proxy, &kOutputListener, output.get());
        state->outputs.push_back(std::move(output));
        // A monitor plugged in while the saver runs gets a board too.
        if (state->running) state->AddBoard(state->outputs.back().get());
    }
}

void RegistryGlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* state = static_cast<State*>(data);
    for (std::size_t i = 0; i < state->outputs.size(); ++i) {
        Output* output = state->outputs[i].get();
        if (output->name != name) continue;
        for (std::size_t b = state->boards.size(); b-- > 0;)
            if (state->boards[b]->output == output) state->RemoveBoard(b);
        wl_output_destroy(output->proxy);
        state->outputs.erase(state->outputs.begin() + static_cast<std::ptrdiff_t>(i));
        // The saver has nothing left to show.
        if (state->boards.empty()) state->closeRequested = true;
        return;
    }
}
const wl_registry_listener kRegistryListener = {RegistryGlobal, RegistryGlobalRemove};

}  // namespace

void State::AddBoard(Output* output) {
    auto board = std::make_unique<Board>(fontFactory, championship);
    board->state = this;
    board->output = output;
    if (!boards.empty()) {
        // Only the first board hears the input; every stage seeds from the
        // clock, or boards started together would play the same scenes.
        board->session.SetPreview(true);
        board->session.SeedRandom(static_cast<unsigned>(std::time(nullptr)) + 7919u * ++boardsMade);
    }
    board->surface = wl_compositor_create_surface(compositor);
    if (layerShell != nullptr) {
        board->layer = zwlr_layer_shell_v1_get_layer_surface(layerShell, board->surface, output->proxy,
                                                             ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "vemo");
        // The whole output, over panels and bars, with the keyboard to itself.
        zwlr_layer_surface_v1_set_anchor(board->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(board->layer, 0, 0);
        zwlr_layer_surface_v1_set_exclusive_zone(board->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(board->layer, 1);
        zwlr_layer_surface_v1_add_listener(board->layer, &kLayerListener, board.get());
    } else {
        board->xdg = xdg_wm_base_get_xdg_surface(wmBase, board->surface);
        xdg_surface_add_listener(board->xdg, &kXdgSurfaceListener, board.get());
        board->toplevel = xdg_surface_get_toplevel(board->xdg);
        xdg_toplevel_add_listener(board->toplevel, &kToplevelListener, board.get());
        xdg_toplevel_set_title(board->toplevel, "vemo");
        xdg_toplevel_set_app_id(board->toplevel, "vemo");
        xdg_toplevel_set_fullscreen(board->toplevel, output->proxy);
    }
    // The first commit carries no buffer: it asks for the size.
    wl_surface_commit(board->surface);
    if (boards.empty() && settings.trace != nullptr)
        trace = std::make_unique<TraceCanvas>(&board->canvas, *settings.trace);
    boards.push_back(std::move(board));
}

void State::RemoveBoard(std::size_t index) {
    std::unique_ptr<Board> board = std::move(boards[index]);
    boards.erase(boards.begin() + static_cast<std::ptrdiff_t>(index));
    if (pointerBoard == board.get()) pointerBoard = nullptr;
    if (index == 0) {
        // The trace follows the first board only; the next one hears the
        // input and keeps the clock from now on.
        trace.reset();
        if (!boards.empty()) boards[0]->session.SetPreview(false);
    }
    board->session.Free();
    for (ShmBuffer& buffer : board->buffers) buffer.Drop();
    if (board->layer != nullptr) zwlr_layer_surface_v1_destroy(board->layer);
    if (board->toplevel != nullptr) xdg_toplevel_destroy(board->toplevel);
    if (board->xdg != nullptr) xdg_surface_destroy(board->xdg);
    wl_surface_destroy(board->surface);
}

void State::RemoveGoneBoards() {
    bool removed = false;
    for (std::size_t b = boards.size(); b-- > 0;) {
        if (!boards[b]->gone) continue;
        RemoveBoard(b);
        removed = true;
    }
    if (removed && boards.empty()) closeRequested = true;
}

void State::Configure(Board& board, Size size) {
    const Output& output = *board.output;
    // A size left to the client: the output's, in surface units.
    if (size.cx <= 0 || size.cy <= 0) size = Size{output.mode.cx / output.scale, output.mode.cy / output.scale};
    if (size.cx <= 0 || size.cy <= 0) size = Size{640, 480};
    const int bufferScale = compositorVersion >= 3 ? output.scale : 1;
    if (board.configured && size == board.logical && bufferScale == board.bufferScale) {
        // Nothing changed, but the ack wants a commit of its own.
        wl_surface_commit(board.surface);
        return;
    }
    board.logical = size;
    board.bufferScale = bufferScale;
    board.configured = true;
    const Size pixels{size.cx * bufferScale, size.cy * bufferScale};
    board.stageScale = StageScaleFor(settings.scale, pixels);
    const Size stage = ScaledStage(pixels, board.stageScale);
    board.canvas.Resize(stage.cx, stage.cy);
    board.session.Reshape(Size{board.canvas.Width(), board.canvas.Height()});
    // New buffers, all of whose pixels are still to be written.
    for (ShmBuffer& buffer : board.buffers) buffer.Drop();
    board.uncommitted.assign(1, Rect{0, 0, stage.cx, stage.cy});
    wl_surface_set_buffer_scale(board.surface, bufferScale);
    Present(board);
}

void State::Present(Board& board) {
    if (!board.configured || board.uncommitted.empty() || board.gone) return;
    const int s = board.stageScale;
    const Size pixels{board.logical.cx * board.bufferScale, board.logical.cy * board.bufferScale};
    ShmBuffer* target = nullptr;
    for (ShmBuffer& buffer : board.buffers) {
        if (buffer.buffer == nullptr) {
            if (!buffer.Make(shm, pixels.cx, pixels.cy)) return;
            wl_buffer_add_listener(buffer.buffer, &kBufferListener, &buffer);
            // Black where the stage, a whole number of blocks, leaves a margin.
            std::memset(buffer.pixels, 0, buffer.bytes);
            buffer.stale.assign(1, Rect{0, 0, board.canvas.Width(), board.canvas.Height()});
        }
        if (!buffer.busy) {
            target = &buffer;
            break;
        }
    }
    // Both are still on screen: the changes wait for a release.
    if (target == nullptr) return;
    const std::size_t stride = static_cast<std::size_t>(target->width);
    for (const Rect& r : target->stale)
        BlowUpPixels(board.canvas.Pixels(), board.canvas.Stride(), r, s, target->pixels, stride);
    target->stale.clear();
    wl_surface_attach(board.surface, target->buffer, 0, 0);
    for (const Rect& r : board.uncommitted) {
        if (compositorVersion >= 4) {
            wl_surface_damage_buffer(board.surface, r.left * s, r.top * s, r.Width() * s, r.Height() * s);
        } else {
            // Surface units: buffer pixels divided by the buffer scale,
            // rounded outwards.
            const int b = board.bufferScale;
            wl_surface_damage(board.surface, r.left * s / b, r.top * s / b, (r.Width() * s + b - 1) / b + 1,
                              (r.Height() * s + b - 1) / b + 1);
        }
    }
    wl_surface_commit(board.surface);
    target->busy = true;
    board.uncommitted.clear();
}

void State::PlayFrame(SaverClock::time_point now) {
    for (std::size_t i = 0; i < boards.size(); ++i) {
        Board& board = *boards[i];
        if (!board.configured) continue;
        const SaverClock::time_point next =
            i == 0 && trace ? DrawTracedFrame(board.session, *trace, now) : board.session.Draw(board.canvas, now);
        if (i == 0) due = next;
        for (const Rect& r : board.canvas.TakeChangedRects()) {
            AddChange(board.uncommitted, r);
            for (ShmBuffer& buffer : board.buffers)
                if (buffer.buffer != nullptr) AddChange(buffer.stale, r);
        }
        Present(board);
    }
    // The first board is still waiting for its size: the others keep time.
    if (!boards.empty() && !boards[0]->configured) due = now + kSaverFramePeriod;
}

Point State::PointerOrigin() const {
    // Boards side by side: a move from one output to the next is a move of
    // the pointer, not a jump.
    return pointerBoard != nullptr ? pointerBoard->output->position : Point{};
}

void State::Input(const SaverInput& input) {
    if (boards.empty()) return;
    switch (boards[0]->session.OnInput(input)) {
    case SaverAction::Nothing:
        return;
    case SaverAction::Close:
    case SaverAction::NudgeCursorThenClose:
        // A Wayland client cannot move the pointer; the click ends it all
        // the same.
        closeRequested = true;
        return;
    }
}

void State::TearDown() {
    if (tornDown) return;
    tornDown = true;
    due.reset();
    while (!boards.empty()) RemoveBoard(boards.size() - 1);
    if (display == nullptr) return;
    if (keyboard != nullptr) wl_keyboard_destroy(keyboard);
    if (pointer != nullptr) wl_pointer_destroy(pointer);
    for (const auto& output : outputs) wl_output_destroy(output->proxy);
    outputs.clear();
    if (seat != nullptr) wl_seat_destroy(seat);
    if (layerShell != nullptr) zwlr_layer_shell_v1_destroy(layerShell);
    if (wmBase != nullptr) xdg_wm_base_destroy(wmBase);
    if (shm != nullptr) wl_shm_destroy(shm);
    if (compositor != nullptr) wl_compositor_destroy(compositor);
    if (registry != nullptr) wl_registry_destroy(registry);
    // The surfaces leave the screen now, not when the socket is closed.
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    display = nullptr;
}

WaylandSaver::WaylandSaver(std::string championship, Settings settings)
    : state_(std::make_unique<State>(std::move(championship), settings)) {}

WaylandSaver::~WaylandSaver() = default;

std::size_t WaylandSaver::Boards() const { return state_->boards.size(); }
bool WaylandSaver::UsesLayerShell() const { return state_->layerShell != nullptr; }
std::uint64_t WaylandSaver::FramesPlayed() const {
    return state_->boards.empty() ? 0 : state_->boards[0]->session.FramesPlayed();
}

bool WaylandSaver::Create(const char* displayName, std::string& error) {
    State& s = *state_;
    s.display = wl_display_connect(displayName);
    if (s.display == nullptr) {
        const char* named = displayName != nullptr ? displayName : std::getenv("WAYLAND_DISPLAY");
        error = std::string("cannot connect to the Wayland compositor '") + (named != nullptr ? named : "wayland-0") +
                "': " + std::strerror(errno);
        return false;
    }
    s.registry = wl_display_get_registry(s.display);
    wl_registry_add_listener(s.registry, &kRegistryListener, &s);
    // The globals, then what the outputs and the seat say of themselves.
    if (wl_display_roundtrip(s.display) < 0 || wl_display_roundtrip(s.display) < 0) {
        error = "the Wayland compositor dropped the connection";
        return false;
    }
    if (s.compositor == nullptr || s.shm == nullptr) {
        error = "the Wayland compositor offers no wl_compositor or no wl_shm";
        return false;
    }
    if (s.layerShell == nullptr && s.wmBase == nullptr) {
        error = "the Wayland compositor offers neither the layer shell nor xdg-shell";
        return false;
    }
    if (s.outputs.empty()) {
        error = "the Wayland compositor has no output";
        return false;
    }
    for (const auto& output : s.outputs) s.AddBoard(output.get());
    s.running = true;
    for (int i = 0; i < kConfigureRoundTrips; ++i) {
        if (wl_display_roundtrip(s.display) < 0) {
            error = "the Wayland compositor dropped the connection";
            return false;
        }
        s.RemoveGoneBoards();
        if (s.boards.empty()) {
            error = "the Wayland compositor closed the saver's surfaces";
            return false;
        }
        if (std::all_of(s.boards.begin(), s.boards.end(), [](const auto& b) { return b->configured; })) break;
    }
    return true;
}

int WaylandSaver::Run(int stopFd) {
    State& s = *state_;
    const int fd = wl_display_get_fd(s.display);
    if (s.trace && !s.boards.empty()) {
        const Board& first = *s.boards[0];
        s.trace->WriteLine(std::string("vemo fullscreen ") + std::to_string(first.canvas.Width()) + "x" +
                           std::to_string(first.canvas.Height()) + " wayland " +
                           (s.layerShell != nullptr ? "layer-shell" : "xdg-shell") +
                           (first.stageScale > 1 ? " scale " + std::to_string(first.stageScale) : "") +
                           (s.boards.size() == 1 ? "" : " monitors " + std::to_string(s.boards.size())));
        s.settings.trace->flush();
    }
    s.due = SaverClock::now();
    int status = 0;
    while (!s.closeRequested) {
        // Events already read are handled before the socket is read again.
        bool failed = false;
        while (wl_display_prepare_read(s.display) != 0) {
            if (wl_display_dispatch_pending(s.display) < 0) {
                failed = true;
                break;
            }
        }
        if (failed) {
            status = 1;
            break;
        }
        s.RemoveGoneBoards();
        const SaverClock::time_point now = SaverClock::now();
        if (!s.closeRequested && s.due && now >= *s.due) {
            s.PlayFrame(now);
        } else {
            // A buffer came back: the changes that waited for it go now.
            for (const auto& board : s.boards) s.Present(*board);
        }
        if (s.closeRequested) {
            wl_display_cancel_read(s.display);
            break;
        }
        short events = POLLIN;
        if (wl_display_flush(s.display) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(s.display);
                status = 1;
                break;
            }
            // The socket is full: the rest goes when it drains.
            events |= POLLOUT;
        }
        const SaverClock::time_point after = SaverClock::now();
        const std::int64_t remaining =
            !s.due ? -1 : std::max<std::int64_t>(0, std::chrono::nanoseconds(*s.due - after).count());
        timespec timeout{static_cast<time_t>(remaining / 1'000'000'000), static_cast<long>(remaining % 1'000'000'000)};
        pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int ready = ppoll(fds, stopFd >= 0 ? 2 : 1, remaining >= 0 ? &timeout : nullptr, nullptr);
        const int pollError = errno;
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (wl_display_read_events(s.display) < 0) {
                status = 1;
                break;
            }
        } else {
            wl_display_cancel_read(s.display);
        }
        if (ready < 0 && pollError != EINTR) break;
        if (stopFd >= 0 && ready > 0 && (fds[1].revents & POLLIN) != 0) s.closeRequested = true;
        if (wl_display_dispatch_pending(s.display) < 0) {
            status = 1;
            break;
        }
    }
    if (status != 0) {
        // Nothing can be sent on a broken connection: the objects are only
        // forgotten.
        const int code = wl_display_get_error(s.display);
        std::fprintf(stderr, "vemo: the Wayland connection failed: %s\n", std::strerror(code != 0 ? code : EPIPE));
    }
    s.TearDown();
    return status;
}
