# Shared by the tool tests: sourced with the scorvane executable as $1 and
# the fixtures folder as $2.
set -euo pipefail

TOOL=$1
FIXTURES=$2
WORK=$(mktemp -d)
SERVE_PID=
SERVE_LOG=$WORK/serve.log
PORT=
SOURCE_PID=
SOURCE_PORT=

# No proxy of the machine may stand between the tool and loopback.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
# The public results repository is out of reach in every test, whatever the
# machine's network: https goes to a loopback port where nothing listens, so
# that no table depends on the day's results. Each test has a cache of its
# own, empty at the start.
export https_proxy=http://127.0.0.1:9
export XDG_CACHE_HOME=$WORK/cache

cleanup() {
    if [ -n "$SERVE_PID" ]; then kill "$SERVE_PID" 2>/dev/null || true; wait "$SERVE_PID" 2>/dev/null || true; fi
    if [ -n "$SOURCE_PID" ]; then kill "$SOURCE_PID" 2>/dev/null || true; wait "$SOURCE_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$SERVE_LOG" ]; then echo "--- serve log:" >&2; cat "$SERVE_LOG" >&2; fi
    exit 1
}

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() {
    if [ "$1" != "$2" ]; then
        fail "$3: expected [$2], got [$1]"
    fi
}

# start_serve [ARGS...]: scorvane serve on a free port; sets PORT.
start_serve() {
    : >"$SERVE_LOG"
    "$TOOL" serve --port 0 "$@" 2>"$SERVE_LOG" &
    SERVE_PID=$!
    for _ in $(seq 100); do
        PORT=$(sed -n 's/^scorvane serve: listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$SERVE_LOG")
        [ -n "$PORT" ] && return 0
        kill -0 "$SERVE_PID" 2>/dev/null || fail "serve exited at start"
        sleep 0.05
    done
    fail "serve did not say where it listens"
}

# stop_serve: SIGTERM, and the exit status must be 0.
stop_serve() {
    kill -TERM "$SERVE_PID"
    local status=0
    wait "$SERVE_PID" || status=$?
    SERVE_PID=
    expect_eq "$status" 0 "exit status of serve after SIGTERM"
}

# start_source FOLDER [--late SECONDS]: results_source.py serving FOLDER on a
# free port; sets SOURCE_PORT, logs to $WORK/source.log.
start_source() {
    : >"$WORK/source.log"
    python3 -u "$(dirname "${BASH_SOURCE[0]}")/results_source.py" "$@" >>"$WORK/source.log" 2>&1 &
    SOURCE_PID=$!
    for _ in $(seq 100); do
        SOURCE_PORT=$(head -n 1 "$WORK/source.log")
        [ -n "$SOURCE_PORT" ] && return 0
        sleep 0.05
    done
    fail "the source did not start"
}

stop_source() {
    kill "$SOURCE_PID"
    wait "$SOURCE_PID" 2>/dev/null || true
    SOURCE_PID=
}

# wait_for TEXT FILE: up to 10 s for a line of FILE to hold TEXT.
wait_for() {
    for _ in $(seq 200); do grep -qF -- "$1" "$2" && return 0; sleep 0.05; done
    fail "no '$1' in $2: $(cat "$2")"
}

standings_path() { echo "/associations/association=$1/nationalleague/standings.html"; }
standings_url() { echo "http://127.0.0.1:$PORT$(standings_path "$1")"; }

# http_status URL [CURL ARGS...]
http_status() {
    local url=$1
    shift
    curl -s -o /dev/null -w '%{http_code}' "$@" "$url"
}

# raw_request BYTES: sends them as they are and prints the answer.
raw_request() {
    exec 3<>"/dev/tcp/127.0.0.1/$PORT"
    printf '%b' "$1" >&3
    cat <&3
    exec 3<&-
}
