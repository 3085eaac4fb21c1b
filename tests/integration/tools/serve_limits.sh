# scorvane serve against clients that would hold it: one deadline per
# connection from accept to close, and a busy answer that arrives.
source "$(dirname "$0")/lib.sh"

start_serve
python3 "$(dirname "$0")/serve_limits.py" "$PORT" 10 >"$WORK/limits.out" 2>&1 || fail "client: $(cat "$WORK/limits.out")"
expect_eq "$(cat "$WORK/limits.out")" "late client: HTTP/1.1 503 Service Unavailable closed
busy answers among the last 100 idle: 100
first 64 after the deadline: all closed
closed within True
fresh client: HTTP/1.1 200 OK
trickling client: closed within the deadline" "what the hostile clients saw"
stop_serve
echo "serve_limits: ok"
