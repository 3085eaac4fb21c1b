# Shared by the tool tests: sourced with the scorvane executable as $1 and
# the fixtures folder as $2.
set -euo pipefail

TOOL=$1
FIXTURES=$2
WORK=$(mktemp -d)
SERVE_PID=
SERVE_LOG=$WORK/serve.log
PORT=

# No proxy of the machine may stand between the tool and loopback.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

cleanup() {
    if [ -n "$SERVE_PID" ]; then kill "$SERVE_PID" 2>/dev/null || true; wait "$SERVE_PID" 2>/dev/null || true; fi
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
