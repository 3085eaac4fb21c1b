#!/usr/bin/env bash
# One end-to-end run of the settings dialog of the real Vemo.scr under Wine,
# against `scorvane serve` on loopback, on the X display this script is
# started on. The dialog is driven with the X server's own keyboard and
# mouse (xdotool) and looked at from outside by dialog_probe; the result is
# read back from the registry. Every wait is bounded; whatever this script
# started is ended when it exits.
#
#   dialog_e2e.sh CASE
#
# Environment: VEMO_SCR, DIALOG_PROBE (the Windows programs), SCORVANE (the
# Linux tool), WINE_RUN (scripts/wine-run), WINEPREFIX (a prefix for
# programs with windows), DIALOG_CHECK (dialog_check.py), BITMAPS (the
# committed bitmaps); optional SAVE_SHOT: where to keep a screenshot of the
# dialog cut out of the screen.
set -euo pipefail

case_name=${1:?usage: dialog_e2e.sh CASE}
: "${VEMO_SCR:?}" "${DIALOG_PROBE:?}" "${SCORVANE:?}" "${WINE_RUN:?}" "${WINEPREFIX:?}" "${DIALOG_CHECK:?}"
: "${BITMAPS:?}"
export WINEPREFIX

# Loopback requests must not be sent to a proxy from the environment.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY

work=$(mktemp -d)
pids=()
# Wine binds a session to the X display of its first program: no session
# of an earlier display may be reused, and none outlives this one.
end_session() { wineserver -k 2>/dev/null || true; }
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  end_session
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
end_session

fail() {
  echo "FAIL ($case_name): $*" >&2
  if [ -f "$work/state" ]; then sed 's/^/  state: /' "$work/state" >&2; fi
  if [ -f "$work/serve.log" ]; then sed 's/^/  serve: /' "$work/serve.log" >&2; fi
  exit 1
}

wine_() { "$WINE_RUN" "$@"; }

alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }
wait_exit() {
  local pid=$1 deadline=$(($(now_ms) + $2 * 1000))
  while alive "$pid"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

start_server() {
  # There before the server writes to it: the first look must not fail.
  : >"$work/serve.log"
  # The snapshot of the sources: the site never reaches for the network.
  local snapshot
  snapshot=$(dirname "${BASH_SOURCE[0]}")/../../../data/football.json
  "$SCORVANE" serve --port 0 --results "$snapshot" 2>"$work/serve.log" &
  server=$!
  pids+=("$server")
  local i
  for i in $(seq 50); do
    port=$(sed -n 's/^scorvane serve: listening on [0-9.]*:\([0-9]*\)$/\1/p' "$work/serve.log")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || fail "scorvane serve did not start"
}

source "$(dirname "${BASH_SOURCE[0]}")/../wine_settings.sh"
# The stored championship, or "(none)".
stored() {
  local out
  out=$(wine_ reg query "$settings_key" /v Championship 2>/dev/null | tr -d '\r') || true
  local value
  value=$(sed -n 's/^ *Championship *REG_SZ *\(.*\)$/\1/p' <<<"$out")
  if grep -q 'Championship' <<<"$out"; then echo "$value"; else echo "(none)"; fi
}
expect_stored() {
  local got
  got=$(stored)
  [ "$got" = "$1" ] || fail "the registry holds '$got', not '$1'"
}

# There is no window manager on the test screen: Wine keeps the windows to
# itself (it draws their frames, and moves them when dragged by the
# caption) instead of waiting for one, as the other GUI tests of this
# prefix have it.
wine_ reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || fail "reg add Managed"

# The request for a code's page, whatever the server answered.
requested() { grep -q "^GET /associations/association=$1/nationalleague/standings.html HTTP/1.0 \"Vemo\" [0-9]*\$" "$work/serve.log"; }

# start_dialog [ARGS]: Vemo.scr with its arguments against the server; waits
# for the dialog and leaves the probe's report in $work/state.
start_dialog() {
  wine_ "$VEMO_SCR" "$@" &
  saver=$!
  pids+=("$saver")
  wine_ "$DIALOG_PROBE" wait 40 | tr -d '\r' >"$work/state" || fail "no settings dialog appeared"
  alive "$saver" || fail "Vemo.scr ended with its dialog up"
  xwin=$(xdotool search --name '^Settings$' | head -n 1)
  [ -n "$xwin" ] || fail "no X window for the dialog"
}

probe_state() { wine_ "$DIALOG_PROBE" state | tr -d '\r' >"$work/state" || fail "the dialog is gone"; }
field() { sed -n "s/^$1 //p" "$work/state" | head -n 1; }
control_field() { sed -n "s/^control $1 //p" "$work/state"; }

expect_field() {
  local got
  got=$(field "$1")
  [ "$got" = "$2" ] || fail "$1 is '$got', not '$2'"
}

# A null handle, printed as wide as a pointer of the build's width.
expect_null_handle() {
  local got
  got=$(field "$1")
  [[ $got =~ ^0+$ ]] || fail "$1 is '$got', not a null handle"
}

# Keys go to the dialog's X window whatever the pointer does.
focus_dialog() {
  xdotool windowfocus "$xwin" 2>/dev/null || true
  sleep 0.3
}
key() {
  xdotool key "$@"
  sleep 0.2
}

# The dialog closes and the program ends.
expect_closed() {
  wait_exit "$saver" 15 || fail "Vemo.scr did not end after the dialog was closed"
}

# Screen position of a client point of the dialog.
client_origin() { read -r ox oy _ <<<"$(field client)"; }
to_screen() {
  client_origin
  echo "$((ox + $1)) $((oy + $2))"
}

shot() { import -window root "$work/shot.png"; }
check_screen() {
  shot
  python3 "$DIALOG_CHECK" "$work/shot.png" "$work/state" "$BITMAPS" "$@" >"$work/check.log" 2>&1 || {
    cat "$work/check.log" >&2
    return 1
  }
  cat "$work/check.log"
}

# Moves the pointer onto the list's down arrow and out again, so that
# nothing is hovered when a face is checked.
park_pointer() { xdotool mousemove 1000 740; sleep 0.3; }

select_with_keys() {
  # From the OK button (the first tab stop) past Cancel to the list.
  focus_dialog
  key Tab
  key Tab
  key "$@"
}

case $case_name in
  appears)
    # No stored value: the Germany page is fetched before the dialog opens,
    # and the dialog shows Germany over the photograph with both balls.
    start_server
    set_value Server "127.0.0.1:$port"
    clear_value Championship
    park_pointer
    start_dialog /c
    requested ger || fail "the dialog was up before the server saw the ger page requested"
    cat "$work/state"
    expect_field caption Settings
    expect_field selection "58 Germany"
    expect_field count 167
    expect_null_handle owner
    read -r style exstyle <<<"$(field style)"
    (((0x$style & 0xD0C80000) == 0x90C00000)) || fail "style $style is not a visible captioned popup without system menu"
    (((0x$exstyle & 0x40000) == 0x40000)) || fail "extended style $exstyle lacks WS_EX_APPWINDOW"
    expect_field "text 1020" "Championship:"
    expect_field "text 1000" 'Scorvane\nRelease 2.4, July 01 2009\n\nTarnwick Team\nwww.scorvane.example'
    expect_field "text 1" OK
    expect_field "text 2" Cancel
    read -r bx by <<<"$(field baseunits)"
    [ "$bx" -gt 0 ] && [ "$by" -gt 0 ] || fail "no base units fit the template"
    mul() { echo $((($1 * $2 + $3 / 2) / $3)); }
    for spec in "1 294 5" "2 294 100"; do
      read -r id x y <<<"$spec"
      read -r l t r b s <<<"$(control_field "$id")"
      [ "$l $t" = "$(mul "$x" "$bx" 4) $(mul "$y" "$by" 8)" ] || fail "button $id is not at its template corner"
      [ "$((r - l))x$((b - t))" = 46x46 ] || fail "button $id is $((r - l))x$((b - t)), not the mask's 46x46"
      (((0x$s & 0xF) == 0xB)) || fail "button $id is not owner-drawn (style $s)"
      # The disc of the mask covers columns 1 to 44 and rows 1 to 45.
      expect_field "region $id" "1 1 45 46"
    done
    check_screen || fail "the screen does not show the dialog's pictures"
    if [ -n "${SAVE_SHOT:-}" ]; then
      # With an active caption, the way the user sees the dialog.
      wine_ "$DIALOG_PROBE" activate >/dev/null || fail "the dialog cannot be brought to the foreground"
      sleep 0.5
      probe_state
      read -r wl wt wr wb <<<"$(field window)"
      import -window root -crop "$((wr - wl))x$((wb - wt))+$wl+$wt" +repage "$SAVE_SHOT"
    fi
    focus_dialog
    key Escape
    expect_closed
    expect_stored "(none)"
    ;;

  club-rotation)
    # After the old controls, in the tab order: the club picked from the
    # clubs of the table in hand, Albania and Andorra checked with the
    # space bar, Albania unchecked with a click; Enter stores both values.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship ger
    clear_value Team
    clear_value Rotation
    start_dialog /c
    select_with_keys Tab Down Tab space Down Down space
    probe_state
    read -r l t _ <<<"$(control_field 1005)"
    [ -n "$l" ] || fail "no rotation list"
    read -r sx sy <<<"$(to_screen $((l + 30)) $((t + 5)))"
    xdotool mousemove "$sx" "$sy" click 1
    sleep 0.5
    focus_dialog
    key Return
    expect_closed
    rotation=$(wine_ reg query "$settings_key" /v Rotation 2>/dev/null | tr -d '\r' | sed -n 's/^ *Rotation *REG_SZ *//p')
    [ "$rotation" = and ] || fail "the registry holds Rotation '$rotation', not 'and'"
    team=$(wine_ reg query "$settings_key" /v Team 2>/dev/null | tr -d '\r' | sed -n 's/^ *Team *REG_SZ *//p')
    page=$(curl -s "http://127.0.0.1:$port/associations/association=ger/nationalleague/standings.html" |
      python3 -c 'import html, sys; sys.stdout.buffer.write(html.unescape(sys.stdin.buffer.read().decode("latin-1")).encode())')
    # reg prints in the console's code page, where u-umlaut is 0x81.
    [ -n "$team" ] && grep -qF ">$(iconv -f CP850 -t UTF-8 <<<"$team")<" <<<"$page" ||
      fail "the registry holds Team '$team', no club of the ger table"
    expect_stored ger
    # The saver tests share this prefix.
    clear_value Team
    clear_value Rotation
    ;;

  no-switch)
    # No switch at all is the configuration dialog too, without an owner.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship usa
    start_dialog
    expect_null_handle owner
    expect_field selection "159 USA"
    focus_dialog
    key Escape
    expect_closed
    expect_stored usa
    ;;

  keyboard)
    # Typing a letter in the list moves to the next name with it: USA is
    # reached through the U names; Enter confirms.
    start_server
    set_value Server "127.0.0.1:$port"
    clear_value Championship
    start_dialog /c
    select_with_keys u
    for i in $(seq 10); do
      probe_state
      [ "$(field selection)" = "159 USA" ] && break
      key u
    done
    expect_field selection "159 USA"
    key Return
    expect_closed
    expect_stored usa
    ;;

  escape)
    # A changed selection is not stored when the dialog is left with Escape.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship usa
    start_dialog /c
    expect_field selection "159 USA"
    select_with_keys End
    probe_state
    expect_field selection "166 Zimbabwe"
    key Escape
    expect_closed
    expect_stored usa
    ;;

  capitals)
    # Codes compare byte for byte: GER is no code, so Albania is selected
    # and OK stores its code.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship GER
    start_dialog -C
    requested GER || fail "the dialog was up before the server saw the GER page requested"
    expect_field selection "0 Albania"
    focus_dialog
    key Return
    expect_closed
    expect_stored alb
    ;;

  zimbabwe)
    # The last entry of the table.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship ger
    start_dialog /c:1234
    select_with_keys End
    probe_state
    expect_field selection "166 Zimbabwe"
    key Return
    expect_closed
    expect_stored zim
    ;;

  mouse)
    # The OK ball by mouse: its template rectangle's corners outside the
    # disc belong to the dialog; the ball lights up under the pointer and
    # shows itself pressed; dragged off it does not click; a click on it
    # stores the choice.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship ger
    park_pointer
    start_dialog /c
    select_with_keys End
    park_pointer
    probe_state
    expect_field selection "166 Zimbabwe"
    read -r bx by <<<"$(field baseunits)"
    read -r l t r b _ <<<"$(control_field 1)"
    width=$(((36 * bx + 2) / 4))
    height=$(((29 * by + 4) / 8))
    for corner in "$((l + 1)) $((t + 1))" "$((l + 1)) $((t + height - 2))" "$((l + width - 2)) $((t + 1))"; do
      read -r x y <<<"$corner"
      read -r sx sy <<<"$(to_screen "$x" "$y")"
      hit=$(wine_ "$DIALOG_PROBE" hit "$sx" "$sy" | tr -d '\r')
      [ "$hit" = "hit dialog" ] || fail "the corner ($x, $y) of the template rectangle reaches '$hit'"
      xdotool mousemove "$sx" "$sy" click 1
      sleep 0.5
      alive "$saver" || fail "a click on the corner ($x, $y) closed the dialog"
    done
    expect_stored ger

    read -r cx cy <<<"$(to_screen $((l + 23)) $((t + 23)))"
    hit=$(wine_ "$DIALOG_PROBE" hit "$cx" "$cy" | tr -d '\r')
    [ "$hit" = "hit control 1" ] || fail "the centre of the OK ball reaches '$hit'"
    xdotool mousemove "$cx" "$cy"
    sleep 0.5
    xdotool mousemove_relative -- 1 1
    sleep 1.5
    # The tooltip may cover part of the photograph now: the balls only.
    check_screen --balls-only --ok-face 147 || fail "the OK ball does not light up under the pointer"
    tip=$(wine_ "$DIALOG_PROBE" tooltip | tr -d '\r')
    [ "$tip" = "tooltip OK button" ] || fail "the tooltip shows '$tip'"
    xdotool mousedown 1
    sleep 0.8
    check_screen --balls-only --ok-face 146 || fail "the OK ball does not show itself pressed"
    # Off the disc, into a corner that is still inside the button's window.
    read -r ex ey <<<"$(to_screen $((l + 1)) $((t + 1)))"
    xdotool mousemove "$ex" "$ey"
    sleep 0.8
    check_screen --balls-only --ok-face 143 || fail "the OK ball stays pressed with the pointer off the disc"
    xdotool mousemove "$ex" "$((ey + 200))"
    sleep 0.3
    xdotool mouseup 1
    sleep 0.8
    alive "$saver" || fail "releasing off the ball clicked it"
    expect_stored ger

    xdotool mousemove "$cx" "$cy" click 1
    expect_closed
    expect_stored zim
    ;;

  drag)
    # The left button alone on the photograph moves the window; with Shift
    # held it does not.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship ger
    start_dialog /c
    read -r wl wt _ <<<"$(field window)"
    read -r sx sy <<<"$(to_screen 250 300)"
    hit=$(wine_ "$DIALOG_PROBE" hit "$sx" "$sy" | tr -d '\r')
    [ "$hit" = "hit dialog" ] || fail "the photograph at (250, 300) is covered: '$hit'"

    xdotool keydown shift
    xdotool mousemove "$sx" "$sy" mousedown 1
    sleep 0.3
    for i in $(seq 6); do
      xdotool mousemove_relative -- 10 7
      sleep 0.1
    done
    xdotool mouseup 1
    xdotool keyup shift
    sleep 0.5
    probe_state
    read -r nl nt _ <<<"$(field window)"
    [ "$nl $nt" = "$wl $wt" ] || fail "a move with Shift held moved the window from ($wl, $wt) to ($nl, $nt)"

    xdotool mousemove "$sx" "$sy" mousedown 1
    sleep 0.3
    for i in $(seq 6); do
      xdotool mousemove_relative -- 10 7
      sleep 0.1
    done
    xdotool mouseup 1
    sleep 0.5
    probe_state
    read -r nl nt _ <<<"$(field window)"
    dx=$((nl - wl))
    dy=$((nt - wt))
    echo "moved by ($dx, $dy)"
    [ "$dx" -gt 0 ] && [ "$dx" -le 60 ] && [ "$dy" -gt 0 ] && [ "$dy" -le 42 ] ||
      fail "dragging the photograph by (60, 42) moved the window by ($dx, $dy)"
    # Still a working dialog where it was dropped.
    check_screen || fail "the moved dialog does not show its pictures"
    focus_dialog
    key Escape
    expect_closed
    expect_stored ger
    ;;

  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS ($case_name)"
