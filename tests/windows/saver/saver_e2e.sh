#!/usr/bin/env bash
# One end-to-end run of the real Vemo.scr under Wine, against `scorvane serve`
# (or a plain file server of open results) on loopback, on the X display this
# script is started on (xvfb-run). Every wait is bounded; whatever this
# script started is ended when it exits.
#
#   saver_e2e.sh CASE
#
# Environment: WINEPREFIX (a prefix for these runs only), VEMO_SCR, SAVER_PROBE (the Windows test programs), SCORVANE
# (the Linux tool), WINE_RUN (scripts/wine-run), SCREEN_CHECK
# (screen_check.py); optional SAVE_SHOT: where to keep the screenshot that
# passed the table check.
set -euo pipefail

case_name=${1:?usage: saver_e2e.sh CASE}
: "${WINEPREFIX:?}" "${VEMO_SCR:?}" "${SAVER_PROBE:?}" "${SCORVANE:?}" "${WINE_RUN:?}" "${SCREEN_CHECK:?}"

# Loopback requests must not be sent to a proxy from the environment.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  end_wine_session
  rm -rf "$work"
}
# The prefix is this test's own (see CMakeLists.txt): its Wine session is
# ended before and after, so that it never outlives the X display it
# started on.
end_wine_session() { wineserver -k 2>/dev/null || true; }
end_wine_session
trap cleanup EXIT

wine_() { "$WINE_RUN" "$@"; }

# There is no window manager on the test screen: without this, Wine waits
# two seconds for one to acknowledge every full-screen window it hides.
wine_ reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

fail() {
  echo "FAIL ($case_name): $*" >&2
  if [ -f "$work/serve.log" ]; then sed 's/^/  serve: /' "$work/serve.log" >&2; fi
  exit 1
}

# Running and not yet reaped (an ended child stays a zombie until waited for).
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}

# wait_exit PID MILLISECONDS: true when the process ends within the time.
# Input ends the saver, process and all, in 40 to 100 ms under Wine (on a
# screen without a window manager Wine would wait 2 s more for one to
# acknowledge the hidden window, with any program: see Managed above).
now_ms() { echo $(($(date +%s%N) / 1000000)); }
wait_exit() {
  local pid=$1 deadline=$(($(now_ms) + $2))
  while alive "$pid"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# read_port LOG SED-SCRIPT: sets port from what a server wrote to LOG,
# waiting up to 5 s for the line.
read_port() {
  local i
  port=
  for i in $(seq 50); do
    port=$(sed -n "$2" "$1")
    [ -n "$port" ] && return 0
    sleep 0.1
  done
  return 1
}

start_server() {
  : >"$work/serve.log"
  # The snapshot of the sources: the site never reaches for the network.
  local snapshot
  snapshot=$(dirname "${BASH_SOURCE[0]}")/../../../data/football.json
  "$SCORVANE" serve --port 0 --results "$snapshot" 2>"$work/serve.log" &
  server=$!
  pids+=("$server")
  read_port "$work/serve.log" 's/^scorvane serve: listening on [0-9.]*:\([0-9]*\)$/\1/p' ||
    fail "scorvane serve did not start"
}

# A server of hostile_server.py (next to this script) in mode $1.
start_hostile() {
  : >"$work/hostile.log"
  python3 "$(dirname "${BASH_SOURCE[0]}")/hostile_server.py" "$1" >"$work/hostile.log" 2>&1 &
  server=$!
  pids+=("$server")
  read_port "$work/hostile.log" 's/^port \([0-9]*\)$/\1/p' || fail "the hostile server did not start"
}

# The full-screen saver under the probe, which reports its windows.
start_watched_saver() {
  local scr
  scr=$(winpath "$VEMO_SCR")
  wine_ "$SAVER_PROBE" watch 90 "$scr" /s >"$work/probe.log" 2>&1 &
  saver=$!
  pids+=("$saver")
}

# Prints the wall-clock time (ms) at which the watched saver's window was
# first seen, within SECONDS.
window_seen_at() {
  local end=$(($(now_ms) + $1 * 1000))
  while [ "$(now_ms)" -lt "$end" ]; do
    if grep -q '^window ' "$work/probe.log"; then
      now_ms
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# A file server over a folder laid out as the open results are
# (fj/SEASON/LEAGUE.json), logging each request.
start_results_server() {
  : >"$work/results.log"
  python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" >"$work/results.log" 2>&1 &
  server=$!
  pids+=("$server")
  read_port "$work/results.log" 's/^Serving HTTP on [0-9.]* port \([0-9]*\) .*/\1/p' ||
    fail "the results server did not start"
}

# The season folders the saver asks for a summer-to-spring league today:
# the one under way, then the one before.
season_folders() {
  local year month first
  year=$(date +%Y)
  month=$((10#$(date +%m)))
  first=$((month >= 7 ? year : year - 1))
  printf '%d-%02d %d-%02d\n' "$first" $(((first + 1) % 100)) $((first - 1)) $((first % 100))
}

source "$(dirname "${BASH_SOURCE[0]}")/../wine_settings.sh"

start_saver() {
  wine_ "$VEMO_SCR" "$@" &
  saver=$!
  pids+=("$saver")
}

shot() { import -window root "$work/shot.png"; }

# until_screen CHECK SECONDS [ARGS]: screenshots once a second until the
# check passes.
until_screen() {
  local check=$1 limit=$2
  shift 2
  local end=$((SECONDS + limit))
  while [ $SECONDS -lt $end ]; do
    alive "$saver" || fail "the saver ended by itself"
    shot
    if python3 "$SCREEN_CHECK" "$check" "$work/shot.png" "$@" >"$work/check.log"; then
      cat "$work/check.log"
      return 0
    fi
    sleep 1
  done
  cat "$work/check.log" >&2
  return 1
}

# The request the server saw for an association code.
expect_request() {
  local code=$1 line="GET /associations/association=$1/nationalleague/standings.html HTTP/1.0 \"Vemo\" 200"
  local i
  for i in $(seq 50); do
    grep -qxF "$line" "$work/serve.log" && return 0
    sleep 0.1
  done
  fail "the server did not see the $code page requested by Vemo"
}

# until_black SECONDS: screenshots until nothing is drawn, so that a board
# checked next is the next saver's and not what the last one left.
until_black() {
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt $end ]; do
    shot
    python3 "$SCREEN_CHECK" nonblack "$work/shot.png" >/dev/null || return 0
    sleep 0.5
  done
  return 1
}

# Key press and mouse tests need the saver's window up and drawing.
wait_for_board() { until_screen nonblack 20 >/dev/null || fail "no window appeared"; sleep 1; }

winpath() { wine_ winepath -w "$1" 2>/dev/null; }

# Other runs in this prefix (the settings dialog's among them) may have
# stored a choice: every case starts from the default, "ger", one league,
# no club, Scale auto.
for value in Championship Rotation Team Scale; do clear_value "$value"; done

case $case_name in
  fullscreen)
    # No "Championship" value: the Germany page, the table on screen, and a
    # key ends the saver.
    start_server
    set_value Server "127.0.0.1:$port"
    clear_value Championship
    start_saver /s
    expect_request ger
    # Two scenes at most, so that one lays its table where rows fit on screen.
    until_screen table 25 || fail "no standings table on the screen"
    if [ -n "${SAVE_SHOT:-}" ]; then cp "$work/shot.png" "$SAVE_SHOT"; fi
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver within 0.5 s"
    ;;

  mouse)
    # The reference point is where the cursor was at the first mouse message:
    # 3 right and 2 down (distance 5) keeps the saver, one more pixel ends it.
    # A new Wine session puts the cursor in the middle of the screen without
    # always noticing where the X pointer really is: both start there. And
    # whether a mouse message comes when the window appears is the system's
    # business: the probe's message makes sure the first one has come, with
    # the cursor where the moves below start.
    start_server
    set_value Server "127.0.0.1:$port"
    xdotool mousemove 512 384
    start_saver /s
    wait_for_board
    wine_ "$SAVER_PROBE" poke >/dev/null || fail "no saver window to send a mouse message to"
    sleep 0.5
    alive "$saver" || fail "the first mouse message ended the saver"
    xdotool mousemove_relative -- 3 2
    sleep 2
    alive "$saver" || fail "a mouse move of 5 pixels ended the saver"
    xdotool mousemove_relative -- 1 0
    wait_exit "$saver" 500 || fail "a mouse move of 6 pixels did not end the saver"
    # A fresh run in a fresh session: 4 right and 2 down at once.
    wait "$saver" 2>/dev/null || true
    end_wine_session
    xdotool mousemove 512 384
    start_saver /s
    wait_for_board
    wine_ "$SAVER_PROBE" poke >/dev/null || fail "no saver window to send a mouse message to"
    sleep 0.5
    alive "$saver" || fail "the first mouse message ended the saver"
    xdotool mousemove_relative -- 4 2
    wait_exit "$saver" 500 || fail "a fresh mouse move of 6 pixels did not end the saver"
    ;;

  preview)
    # A child of the probe's 152 x 112 window: ignores input, ends when the
    # window is destroyed. (Wine does not show what a process draws into a
    # child of another process's window, so the pixels of the preview are
    # checked in-process by the saver window's own tests.)
    start_server
    set_value Server "127.0.0.1:$port"
    scr=$(winpath "$VEMO_SCR")
    wine_ "$SAVER_PROBE" preview "$scr" 10 >"$work/probe.log" 2>&1 &
    saver=$!
    pids+=("$saver")
    expect_request ger
    sleep 3
    xdotool mousemove 150 150
    xdotool key a
    wait_exit "$saver" 20000 || fail "the probe did not finish"
    wait "$saver" || { cat "$work/probe.log" >&2; fail "the probe reported a failure"; }
    cat "$work/probe.log"
    grep -qx 'child 152 112 5[0-9a-f]\{7\} 00000000' "$work/probe.log" ||
      fail "the saver window is not a visible 152 x 112 child"
    grep -qx 'alive after input' "$work/probe.log" || fail "input ended the preview"
    ms=$(sed -n 's/^exit 0 \([0-9]*\)$/\1/p' "$work/probe.log")
    [ -n "$ms" ] && [ "$ms" -lt 5000 ] || fail "the saver did not end when its parent was destroyed"
    ;;

  preview-no-window)
    # /p with a handle that is no window: the program ends at once and shows
    # nothing (the download still comes first).
    start_server
    set_value Server "127.0.0.1:$port"
    scr=$(winpath "$VEMO_SCR")
    wine_ "$SAVER_PROBE" watch 15 "$scr" /p 12345 >"$work/probe.log" 2>&1 || {
      cat "$work/probe.log" >&2
      fail "the saver did not end"
    }
    cat "$work/probe.log"
    expect_request ger
    if grep -q '^window ' "$work/probe.log"; then fail "a window was shown"; fi
    ms=$(sed -n 's/^exit [0-9]* \([0-9]*\)$/\1/p' "$work/probe.log")
    [ -n "$ms" ] && [ "$ms" -lt 5000 ] || fail "the saver took too long to end"
    ;;

  preview-colon)
    # /p:1234 has fewer than two characters after the p that atoi can read:
    # the full-screen saver.
    start_server
    set_value Server "127.0.0.1:$port"
    scr=$(winpath "$VEMO_SCR")
    wine_ "$SAVER_PROBE" watch 30 "$scr" /p:1234 >"$work/probe.log" 2>&1 &
    saver=$!
    pids+=("$saver")
    for i in $(seq 150); do
      grep -q '^window ' "$work/probe.log" && break
      sleep 0.1
    done
    line=$(grep -m1 '^window ' "$work/probe.log") || fail "no window appeared"
    echo "$line"
    read -r _ w h style exstyle <<<"$line"
    [ "$w" = 1024 ] && [ "$h" = 768 ] || fail "window is ${w}x$h, not the screen"
    (((0x$style & 0xD0000000) == 0x90000000)) || fail "style $style is not a visible popup"
    (((0x$exstyle & 0x8) == 0x8)) || fail "extended style $exstyle is not top-most"
    sleep 1
    xdotool key a
    wait_exit "$saver" 5000 || fail "a key press did not end the full-screen saver"
    ;;

  championship)
    # The stored choice goes into the request.
    start_server
    set_value Server "127.0.0.1:$port"
    set_value Championship usa
    start_saver /s
    expect_request usa
    wait_for_board
    clear_value Championship
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"
    ;;

  server-stopped)
    # Nothing listens on the port: the board runs with the status text.
    start_server
    kill "$server"
    wait "$server" 2>/dev/null || true
    set_value Server "127.0.0.1:$port"
    clear_value Championship
    start_saver /s
    # The line is centred at a random place and may fall partly off the
    # screen: up to three scenes.
    until_screen textline 35 || fail "no status line on the board"
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"
    ;;

  slow-head)
    # The response head comes one byte every half second: the download gives
    # up 20 s after it began, whatever the server does, and the board runs.
    start_hostile slow-head
    set_value Server "127.0.0.1:$port"
    start_watched_saver
    shown=$(window_seen_at 60) || fail "no window within 60 s"
    accepted=$(sed -n 's/^accept \([0-9]*\)$/\1/p' "$work/hostile.log" | head -n1)
    [ -n "$accepted" ] || fail "the saver never connected"
    took=$((shown - accepted))
    echo "window $took ms after the connection"
    [ "$took" -ge 19000 ] && [ "$took" -le 21000 ] || fail "window after $took ms, not 20 s"
    sleep 1
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"
    ;;

  redirect)
    # A 302 to itself is not followed: one request, a failed download, and
    # the board with its status line at once.
    start_hostile redirect
    set_value Server "127.0.0.1:$port"
    started=$(now_ms)
    start_watched_saver
    shown=$(window_seen_at 21) || fail "no window within 21 s"
    echo "window $((shown - started)) ms after the start"
    until_screen textline 35 || fail "no status line on the board"
    requests=$(grep -c '^accept ' "$work/hostile.log")
    [ "$requests" -eq 1 ] || fail "$requests requests: the redirect was followed"
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"
    ;;

  open-results)
    # No standings site: the league file of the open results, from a server
    # on loopback, becomes the table; the copy kept in the prefix's local
    # application data serves once the server is gone; an association the
    # open results do not cover gets its status line and no request.
    results_file=$(dirname "${BASH_SOURCE[0]}")/../../../data/football.json/2025-26/en.1.json
    # Under both folders the saver may ask for, so that the day may change
    # between here and the saver's start.
    for season in $(season_folders); do
      mkdir -p "$work/www/fj/$season"
      cp "$results_file" "$work/www/fj/$season/en.1.json"
    done
    local_data=$(wine_ cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
    [[ $local_data == ?:\\* ]] || fail "no local application data folder: '$local_data'"
    cache=$(wine_ winepath -u "$local_data\\Vemo" 2>/dev/null)
    [ -n "$cache" ] || fail "no Unix path for $local_data"
    rm -rf "$cache"
    wine_ reg delete "$settings_key" /f >/dev/null 2>&1 || true
    start_results_server
    set_value Championship eng
    set_value Results "http://127.0.0.1:$port/fj"
    start_saver /s
    until_screen table 25 || fail "no table from the open results"
    grep -Eq '"GET /fj/[0-9]{4}-[0-9]{2}/en\.1\.json HTTP/1\.1" 200 ' "$work/results.log" ||
      fail "the server did not see the league file asked for: $(cat "$work/results.log")"
    kept=$(find "$cache" -name '*_en.1.json' | wc -l)
    [ "$kept" -eq 1 ] || fail "$kept kept copies of the league file in $cache"
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"

    # The source is gone: the kept copy.
    kill "$server"
    wait "$server" 2>/dev/null || true
    until_black 20 || fail "the last board stayed on the screen"
    start_saver /s
    until_screen table 25 || fail "no table from the kept copy"
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"

    # Poland: the status line alone, and the source is not asked.
    until_black 20 || fail "the last board stayed on the screen"
    start_results_server
    set_value Results "http://127.0.0.1:$port/fj"
    set_value Championship pol
    start_saver /s
    # That no rows come for it is the unit tests' (unit_results, under Wine
    # too): the table check of the screenshots takes a screen full of
    # darting balls for a table now and then.
    until_screen textline 35 || fail "no status line on the board"
    if grep -q '"GET ' "$work/results.log"; then fail "a request for Poland: $(cat "$work/results.log")"; fi
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"
    wine_ reg delete "$settings_key" /f >/dev/null 2>&1 || true
    ;;

  scale-4k)
    # A 3840x2160 screen with Scale left at auto: the stage is 1280x720 and
    # every stage pixel an exact 3x3 block of the screen.
    start_server
    set_value Server "127.0.0.1:$port"
    clear_value Scale
    start_saver /s
    expect_request ger
    until_screen blocks 25 3 0 3840 || fail "no table in 3x3 blocks on the 4K screen"
    # A fixed factor in the registry is taken as it stands.
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"
    until_black 20 || fail "the last board stayed on the screen"
    set_value Scale 2
    start_saver /s
    until_screen blocks 25 2 0 3840 || fail "no table in 2x2 blocks with Scale 2"
    xdotool key a
    wait_exit "$saver" 500 || fail "a key press did not end the saver"
    clear_value Scale
    ;;

  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS ($case_name)"
