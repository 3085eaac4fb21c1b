# scorvane serve and kept connections: HTTP/1.1 clients send request after
# request on one connection, within the deadline counted from each answer;
# HTTP/1.0 clients are answered and closed; HEAD and conditional requests.
source "$(dirname "$0")/lib.sh"

start_serve
timeout 60 python3 "$(dirname "$0")/serve_keepalive.py" "$PORT" 10 >"$WORK/keepalive.out" 2>&1 ||
    fail "client: $(cat "$WORK/keepalive.out")"
length=$(curl -s "$(standings_url ger)" | wc -c)
expect_eq "$(cat "$WORK/keepalive.out")" "kept connection: 200/open 200/open 200/open 200/open 200/open same page
HEAD: 200 Content-Length as GET's then GET: 200
If-None-Match the ETag -> 304 0 bytes same ETag
If-None-Match weak -> 304 0 bytes same ETag
If-None-Match another -> 200 $length bytes same ETag
If-Modified-Since its Last-Modified -> 304
oversized head on a kept connection: 431 closed
HTTP/1.0: 200 close whole page closed
answers at 0, 6 and 12 s after accept: 200 200 200 then closed within the deadline" "what the client saw"
stop_serve
grep -qxF -- "- $(standings_path ger) - - 431" "$SERVE_LOG" || fail "no log line for the oversized head"
grep -qxF "HEAD $(standings_path ger) HTTP/1.1 - 200" "$SERVE_LOG" || fail "no log line for HEAD"
echo "serve_keepalive: ok"
