# Every command: --help, and clear errors with a non-zero exit.
source "$(dirname "$0")/lib.sh"

# run EXPECTED_STATUS ARGS...: runs the tool, keeps stdout and stderr.
run() {
    local expected=$1
    shift
    local status=0
    "$TOOL" "$@" >"$WORK/out" 2>"$WORK/err" </dev/null || status=$?
    expect_eq "$status" "$expected" "exit status of scorvane $*"
}

run 0 --help
for command in serve extract tokens fetch; do
    grep -qE "^  $command " "$WORK/out" || fail "overview does not list $command"
done
for command in serve extract tokens fetch; do
    run 0 "$command" --help
    grep -q "^usage: scorvane $command" "$WORK/out" || fail "$command --help shows no usage"
    [ -s "$WORK/err" ] && fail "$command --help wrote to stderr"
    run 2 "$command" --no-such-option
    grep -qxF "scorvane $command: unknown option '--no-such-option'" "$WORK/err" || fail "$command: no clear error"
done
run 2
run 2 no-such-command

run 1 extract "$WORK/absent.html"
grep -qF "scorvane extract: cannot open '$WORK/absent.html': No such file or directory" "$WORK/err" ||
    fail "extract: $(cat "$WORK/err")"
run 1 tokens "$WORK"
grep -q "^scorvane tokens: cannot read '$WORK': " "$WORK/err" || fail "tokens of a folder: $(cat "$WORK/err")"
run 2 extract a b
run 2 tokens --no-decode=yes
run 2 extract --json=1

run 2 serve --port 70000
grep -q "not a number from 0 to 65535" "$WORK/err" || fail "serve --port 70000: $(cat "$WORK/err")"
run 2 serve --port x1
run 2 serve --port
grep -qxF "scorvane serve: option '--port' needs a value" "$WORK/err" || fail "serve --port: $(cat "$WORK/err")"
run 2 serve extra
# --made-up belongs with the results, and contradicts --only-real.
run 2 serve --made-up --data "$WORK"
grep -qxF "scorvane serve: --data cannot be combined with the options of --results" "$WORK/err" ||
    fail "serve --made-up --data: $(cat "$WORK/err")"
run 2 serve --made-up --only-real
grep -qxF "scorvane serve: --made-up and --only-real cannot be combined" "$WORK/err" ||
    fail "serve --made-up --only-real: $(cat "$WORK/err")"
run 2 publish --made-up
grep -qxF "scorvane publish: --out is needed" "$WORK/err" || fail "publish without --out: $(head -n 1 "$WORK/err")"
run 1 serve --port 0 --bind no.such.host.invalid
grep -q "^scorvane serve: cannot resolve 'no.such.host.invalid'" "$WORK/err" || fail "bad bind: $(cat "$WORK/err")"
# A port that is taken.
start_serve
run 1 serve --port "$PORT"
grep -q "^scorvane serve: cannot listen on 127.0.0.1:$PORT: Address already in use" "$WORK/err" ||
    fail "busy port: $(cat "$WORK/err")"
stop_serve

# The --name=VALUE forms, on IPv6 loopback where the machine has one.
if ip -6 addr show dev lo 2>/dev/null | grep -q '::1/128'; then
    "$TOOL" serve --bind=::1 --port=0 2>"$SERVE_LOG" &
    SERVE_PID=$!
    for _ in $(seq 100); do
        PORT=$(sed -n 's/^scorvane serve: listening on \[::1\]:\([0-9][0-9]*\)$/\1/p' "$SERVE_LOG")
        [ -n "$PORT" ] && break
        sleep 0.05
    done
    [ -n "$PORT" ] || fail "serve on ::1 did not start"
    expect_eq "$(http_status "http://[::1]:$PORT$(standings_path ger)" -g)" 200 "status over IPv6"
    stop_serve
fi

run 2 fetch
run 2 fetch a b
run 2 fetch ""
echo "command_line: ok"
