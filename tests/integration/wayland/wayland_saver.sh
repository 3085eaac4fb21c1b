#!/usr/bin/env bash
# wayland_saver.sh VEMO TOOL CHECK: vemo /s on a headless sway (wlroots'
# headless backend, pixman renderer), as swayidle would start it. Screenshots
# come from grim, keys from wtype (a virtual keyboard). CHECK is the
# screenshot checker of the saver tests.
#   - two outputs: an overlay surface on each (the layer shell), each showing
#     the table; a key ends the saver at once with status 0;
#   - one 2560x1440 output with --xdg-shell --scale 2: a fullscreen window
#     whose stage of 1280x720 is shown in 2x2 blocks; a key ends it;
#   - no compositor: an error with --wayland, else a try of X11.
vemo=$1
check=$3
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tools/lib.sh" "$2" ""

SWAY_PID=
VEMO_PID=
finish() {
    [ -n "$VEMO_PID" ] && kill -9 "$VEMO_PID" 2>/dev/null
    [ -n "$SWAY_PID" ] && kill "$SWAY_PID" 2>/dev/null && wait "$SWAY_PID" 2>/dev/null
    cleanup
}
trap finish EXIT

# sway refuses to run as root: it runs as nobody there, in a runtime folder
# of its own that root's clients (vemo, grim, wtype) reach all the same.
run_as=()
if [ "$(id -u)" -eq 0 ]; then run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi

# start_sway NAME OUTPUT-LINES...: a compositor with one headless output per
# line ("WxH X Y"); sets XDG_RUNTIME_DIR and WAYLAND_DISPLAY.
start_sway() {
    local name=$1
    shift
    local runtime=$WORK/$name
    mkdir -p "$runtime"
    chmod 700 "$runtime"
    [ ${#run_as[@]} -gt 0 ] && chown 65534:65534 "$runtime"
    local config=$WORK/$name.config n=0
    : >"$config"
    for output in "$@"; do
        n=$((n + 1))
        read -r size x y <<<"$output"
        echo "output HEADLESS-$n mode $size position $x $y" >>"$config"
    done
    chmod 755 "$WORK"
    chmod 644 "$config"
    env -i PATH=/usr/bin:/bin HOME="$runtime" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless \
        WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=$n WLR_LIBINPUT_NO_DEVICES=1 \
        "${run_as[@]}" sway -c "$config" >"$WORK/$name.log" 2>&1 &
    SWAY_PID=$!
    export XDG_RUNTIME_DIR=$runtime
    for _ in $(seq 200); do
        WAYLAND_DISPLAY=$(cd "$runtime" && ls 2>/dev/null | grep -x "wayland-[0-9]*" | head -n 1 || true)
        [ -n "$WAYLAND_DISPLAY" ] && export WAYLAND_DISPLAY && return 0
        kill -0 "$SWAY_PID" 2>/dev/null || fail "sway exited: $(cat "$WORK/$name.log")"
        sleep 0.05
    done
    fail "sway made no socket: $(cat "$WORK/$name.log")"
}

stop_sway() {
    kill "$SWAY_PID"
    wait "$SWAY_PID" 2>/dev/null || true
    SWAY_PID=
}

# start_vemo ARGS...: vemo /s on the compositor, its trace in $WORK/trace.
start_vemo() {
    : >"$WORK/trace"
    : >"$WORK/vemo.err"
    XDG_CONFIG_HOME=$WORK/config DISPLAY= "$vemo" /s --trace "$WORK/trace" "$@" 2>"$WORK/vemo.err" &
    VEMO_PID=$!
    for _ in $(seq 600); do
        [ -s "$WORK/trace" ] && return 0
        kill -0 "$VEMO_PID" 2>/dev/null || fail "vemo exited: $(cat "$WORK/vemo.err")"
        sleep 0.05
    done
    fail "vemo wrote no trace: $(cat "$WORK/vemo.err")"
}

# until_shown CHECK-ARGS... (the PNG as {}) OUTPUT: up to 30 s for a
# screenshot of OUTPUT to pass the check.
until_shown() {
    local output=${*: -1} args=("${@:1:$#-1}")
    for _ in $(seq 30); do
        grim -o "$output" "$WORK/shot.png" 2>>"$WORK/grim.err" || fail "grim: $(cat "$WORK/grim.err")"
        python3 "$check" "${args[@]/\{\}/$WORK/shot.png}" >"$WORK/check.out" && return 0
        sleep 1
    done
    cp "$WORK/shot.png" "${TMPDIR:-/tmp}/wayland-$output.png"
    fail "$output never passed '${args[*]}': $(cat "$WORK/check.out"), kept as ${TMPDIR:-/tmp}/wayland-$output.png"
}

# key_ends_it: a key pressed on the virtual keyboard ends vemo within 5 s of it,
# with status 0 and nothing on stderr.
key_ends_it() {
    # The virtual keyboard comes with wtype: a second lets the saver see the
    # seat gain a keyboard and take the focus before the key.
    wtype -s 1000 -k space 2>>"$WORK/wtype.err" || fail "wtype: $(cat "$WORK/wtype.err")"
    for _ in $(seq 100); do
        if ! kill -0 "$VEMO_PID" 2>/dev/null; then
            local status=0
            wait "$VEMO_PID" || status=$?
            VEMO_PID=
            expect_eq "$status" 0 "vemo's exit status after a key"
            # Nothing to say: no error, and under the sanitizers no leak.
            [ -s "$WORK/vemo.err" ] && fail "vemo wrote to stderr: $(cat "$WORK/vemo.err")"
            return 0
        fi
        sleep 0.05
    done
    fail "vemo still runs 5 s after a key"
}

# The table of the results snapshot: the source itself is out of reach.
mkdir -p "$WORK/config/vemo"
printf '[Settings]\nChampionship=eng\nResults=http://127.0.0.1:9\n' >"$WORK/config/vemo/vemo.ini"

# A compositor out of reach: --wayland says so and fails; without it the
# saver tries X11 (here, no display either).
for option in --wayland ""; do
    status=0
    XDG_RUNTIME_DIR=$WORK WAYLAND_DISPLAY=nowhere XDG_CONFIG_HOME=$WORK/config DISPLAY= "$vemo" /s $option \
        2>"$WORK/vemo.err" || status=$?
    expect_eq "$status" 1 "vemo's exit status without a compositor ($option)"
    expected="vemo: cannot connect to the Wayland compositor 'nowhere': No such file or directory"
    [ -z "$option" ] && expected+=$'\nvemo: trying X11 instead\nvemo: cannot open display \'\''
    expect_eq "$(cat "$WORK/vemo.err")" "$expected" "what vemo says without a compositor ($option)"
done

start_sway two "1280x720 0 0" "1024x768 1280 0"
start_vemo
expect_eq "$(head -n 1 "$WORK/trace")" "vemo fullscreen 1280x720 wayland layer-shell monitors 2" "the trace's first line"
until_shown table {} HEADLESS-1
until_shown table {} HEADLESS-2
key_ends_it
stop_sway

start_sway big "2560x1440 0 0"
start_vemo --xdg-shell --scale 2
expect_eq "$(head -n 1 "$WORK/trace")" "vemo fullscreen 1280x720 wayland xdg-shell scale 2" "the trace's first line"
until_shown blocks {} 2 0 2560 HEADLESS-1
key_ends_it
stop_sway
echo "wayland: two outputs with a board each on the layer shell, a fullscreen window in 2x2 blocks; a key ends both"
