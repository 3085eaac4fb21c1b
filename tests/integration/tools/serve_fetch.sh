# scorvane serve, real tables and made-up leagues beside them, read back
# with scorvane fetch.
source "$(dirname "$0")/lib.sh"

start_serve --made-up
export XDG_CONFIG_HOME=$WORK/config
mkdir -p "$XDG_CONFIG_HOME/vemo"
printf '[Settings]\nChampionship=ger\nServer=127.0.0.1:%s\n' "$PORT" >"$XDG_CONFIG_HOME/vemo/vemo.ini"

header=$(printf 'Pos.\t\tClub\tP\tW\tD\tL\tGF\tGA\tGD\tPts')
for code in ger eng fra ita bra jpn fro nzl; do
    "$TOOL" fetch "$code" >"$WORK/$code.tsv" 2>"$WORK/$code.err" || fail "fetch $code: exit $?"
    [ -s "$WORK/$code.err" ] && fail "fetch $code wrote to stderr: $(cat "$WORK/$code.err")"
    expect_eq "$(head -n 1 "$WORK/$code.tsv")" "$header" "header row of $code"
    teams=$(($(wc -l <"$WORK/$code.tsv") - 1))
    [ "$teams" -ge 10 ] && [ "$teams" -le 20 ] || fail "$code has $teams teams"
    # Every row aligned: eleven cells, cell 1 empty, positions in order,
    # figures that add up.
    awk -F'\t' -v code="$code" '
        NF != 11 { print code ": row " NR " has " NF " cells"; bad = 1 }
        $2 != "" { print code ": row " NR " cell 1 is not empty"; bad = 1 }
        NR > 1 && $1 != (NR - 1) "." { print code ": row " NR " position " $1; bad = 1 }
        NR > 1 && ($4 != $5 + $6 + $7 || $10 != $8 - $9 || $11 != 3 * $5 + $6) { print code ": row " NR " does not add up"; bad = 1 }
        END { exit bad }' "$WORK/$code.tsv" || fail "rows of $code"
    # The full URL is the same download.
    "$TOOL" fetch "$(standings_url "$code")" >"$WORK/$code.url.tsv" || fail "fetch by URL $code"
    cmp -s "$WORK/$code.tsv" "$WORK/$code.url.tsv" || fail "fetch by URL differs for $code"
done
cmp -s "$WORK/ger.tsv" "$WORK/eng.tsv" && fail "two associations got the same league"

# --json holds the same rows.
"$TOOL" fetch --json ger >"$WORK/ger.json" || fail "fetch --json"
python3 - "$WORK/ger.json" "$WORK/ger.tsv" <<'PY' || fail "fetch --json differs from the TAB output"
import json, sys
rows = json.load(open(sys.argv[1], encoding="utf-8"))["rows"]
tsv = [line.split("\t") for line in open(sys.argv[2], encoding="utf-8").read().splitlines()]
assert all(len(r) == 11 and all(isinstance(c, str) for c in r) for r in rows)
assert rows == tsv, (rows[:2], tsv[:2])
PY

# Accented names arrive decoded, as UTF-8 on the output.
LC_ALL=C grep -q $'\xc3[\x80-\xbf]' "$WORK/ger.tsv" || fail "no accented team name in ger"

# A code outside the table is a 404: no rows, a failed download, and why.
rc=0
out=$("$TOOL" fetch xyz 2>"$WORK/xyz.err") || rc=$?
expect_eq "$rc" 1 "exit status of fetch xyz"
expect_eq "$out" "" "rows of an unknown code"
grep -q "failed: the server answered with status 404" "$WORK/xyz.err" || fail "no reason for the 404: $(cat "$WORK/xyz.err")"

# The site's pages answer, a query changing nothing, as a static server
# does; anything else is 404.
for path in / /associations/association=ger/ "$(standings_path ger)?season=1"; do
    expect_eq "$(http_status "http://127.0.0.1:$PORT$path")" 200 "status of $path"
done
for path in "$(standings_path GER)" "$(standings_path ge)" "$(standings_path "ger%20")" \
            /associations/association=ger/nationalleague/standings.htm /associations/association=ger/nationalleague/; do
    expect_eq "$(http_status "http://127.0.0.1:$PORT$path")" 404 "status of $path"
done
# HEAD has the headers of GET and no body; other methods are refused.
get_length=$(curl -s "$(standings_url ger)" | wc -c)
head_length=$(curl -sI "$(standings_url ger)" | tr -d '\r' | sed -n 's/^Content-Length: //p')
expect_eq "$head_length" "$get_length" "Content-Length of HEAD"
expect_eq "$(http_status "$(standings_url ger)" -X POST -d x)" 405 "status of POST"
# Malformed requests get 400, an unknown protocol version 505; a request
# line that is no request line at all is closed by the HTTP library without
# an answer.
answer=$(raw_request 'garbage\r\n\r\n')
expect_eq "$answer" "" "answer to a request line without target"
answer=$(raw_request 'GET relative HTTP/1.0\r\n\r\n')
expect_eq "${answer%%$'\r'*}" "HTTP/1.1 400 Bad Request" "answer to a relative target"
answer=$(raw_request "GET $(standings_path ger) HTTP/1.0\r\nNo colon here\r\n\r\n")
expect_eq "${answer%%$'\r'*}" "HTTP/1.1 400 Bad Request" "answer to a header line without colon"
answer=$(raw_request "GET $(standings_path ger) HTTP/2.0\r\n\r\n")
expect_eq "${answer%%$'\r'*}" "HTTP/1.1 505 HTTP Version Not Supported" "answer to HTTP/2.0"
# A head sent in pieces, with bare LF line ends, is still one request.
answer=$( { exec 3<>"/dev/tcp/127.0.0.1/$PORT"; printf 'GET %s HT' "$(standings_path fra)" >&3; sleep 0.2;
            printf 'TP/1.0\nUser-Agent: pieces\n\n' >&3; head -c 15 <&3; exec 3<&-; } )
expect_eq "$answer" "HTTP/1.1 200 OK" "answer to a head sent in pieces"

# Many clients at once all get the same page.
for i in $(seq 24); do curl -s -o "$WORK/parallel.$i" "$(standings_url ita)" & done
wait $(jobs -p | grep -v "^$SERVE_PID\$") 2>/dev/null || true
curl -s -o "$WORK/parallel.ref" "$(standings_url ita)"
for i in $(seq 24); do cmp -s "$WORK/parallel.$i" "$WORK/parallel.ref" || fail "parallel answer $i differs"; done

# A client that connects and says nothing does not hold up the shutdown.
exec 4<>"/dev/tcp/127.0.0.1/$PORT"
started=$(date +%s)
stop_serve
exec 4<&-
[ $(($(date +%s) - started)) -le 3 ] || fail "shutdown waited for an idle client"

# The log: one line per request, METHOD TARGET VERSION "AGENT" STATUS.
grep -qxF "GET $(standings_path ger) HTTP/1.0 \"Vemo\" 200" "$SERVE_LOG" || fail "no log line for fetch ger"
grep -qxF "GET $(standings_path xyz) HTTP/1.0 \"Vemo\" 404" "$SERVE_LOG" || fail "no log line for fetch xyz"
grep -qxF "POST $(standings_path ger) HTTP/1.1 \"curl/$(curl --version | awk 'NR==1{print $2}')\" 405" "$SERVE_LOG" ||
    fail "no log line for POST"
grep -qxF "GET $(standings_path fra) HTTP/1.0 \"pieces\" 200" "$SERVE_LOG" || fail "no log line for the piecewise head"
grep -qxF -- "- $(standings_path ger) - - 400" "$SERVE_LOG" || fail "no log line for the header line without colon"
grep -qxF "GET relative HTTP/1.0 - 400" "$SERVE_LOG" || fail "no log line for the relative target"
expect_eq "$(tail -n 1 "$SERVE_LOG")" "scorvane serve: stopped" "last log line"
# 8 codes x 2 fetches, --json, xyz, 8 paths, GET+HEAD, POST, 2 malformed (the
# request lines the library refuses have none), 1 pieces, 25 parallel
expect_eq "$(grep -c ' [0-9][0-9][0-9]$' "$SERVE_LOG")" 57 "number of request log lines"

# With the server gone the download fails: exit 1 and a reason.
if "$TOOL" fetch ger >"$WORK/gone.out" 2>"$WORK/gone.err"; then fail "fetch without a server succeeded"; fi
grep -q "failed" "$WORK/gone.err" || fail "no reason given: $(cat "$WORK/gone.err")"
echo "serve_fetch: ok"
