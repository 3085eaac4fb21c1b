# scorvane serve under load from loopback clients: every client within the
# connection limit is answered 200, kept connections stay open between
# requests, and every client beyond the limit reads its whole busy answer.
source "$(dirname "$0")/lib.sh"

start_serve --max-connections 16
timeout 80 python3 "$(dirname "$0")/serve_load.py" "$PORT" 16 >"$WORK/load.out" 2>&1 || fail "client: $(cat "$WORK/load.out")"
expect_eq "$(cat "$WORK/load.out")" "below the limit: 8 clients x 41 requests: 200 x 328
at the limit: 12 kept x 41 + 4 x 40 one-shot: 200 x 492, HTTP/1.1 200 OK, whole, closed x 160
above the limit: 32 more clients: HTTP/1.1 503 Service Unavailable, whole, closed x 32
kept clients still served: 200 x 16
fresh client after they left: HTTP/1.1 200 OK, whole, closed" "what the clients saw"
stop_serve
# Every request that was answered is in the log; the busy answers were
# given without reading one.
expect_eq "$(grep -c '^GET /associations/association=ger/nationalleague/standings.html HTTP/1\.[01] - 200$' "$SERVE_LOG")" \
    $((328 + 492 + 160 + 16 + 16 + 1)) "requests logged"
echo "serve_load: ok"
