# scorvane serve --results over http: refreshes against a loopback source
# that changes, answers 304, returns garbage and stalls; the cache that
# carries the table over a restart with the source gone; 404, never a
# made-up league, when nothing was ever read.
source "$(dirname "$0")/lib.sh"

RESULTS=$FIXTURES/../results
mkdir -p "$WORK/source/2023-24"
cp "$RESULTS/2023-24/en.1.json" "$WORK/source/2023-24/"
echo ok >"$WORK/source/mode"
start_source "$WORK/source"
source_port=$SOURCE_PORT
printf 'eng,en.1\n' >"$WORK/leagues.csv"
# A refresh every 0.6 s.
opts=(--results "http://127.0.0.1:$source_port" --season 2023-24 --leagues "$WORK/leagues.csv" --refresh 0.01)

top() { "$TOOL" fetch "$(standings_url eng)" | sed -n 2p | cut -f3,11 | tr '\t' ' '; }

start_serve "${opts[@]}"
wait_for "/2023-24/en.1.json 200" "$WORK/source.log"
for _ in $(seq 100); do [ "$(top)" = "Manchester City FC 91" ] && break; sleep 0.05; done
expect_eq "$(top)" "Manchester City FC 91" "table read from the source"
# The next refreshes revalidate and get 304.
wait_for "/2023-24/en.1.json 304" "$WORK/source.log"

# The source changes: Arsenal's 0-2 home defeat by Villa becomes a 13-1 win.
python3 - "$WORK/source/2023-24/en.1.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
m = next(m for m in d["matches"] if m["team1"] == "Arsenal FC" and m["team2"] == "Aston Villa FC")
m["score"]["ft"] = [13, 1]
json.dump(d, open(sys.argv[1], "w"))
PY
wait_for "eng: new table from http://127.0.0.1:$source_port/2023-24/en.1.json" "$SERVE_LOG"
expect_eq "$(top)" "Arsenal FC 92" "table after the source changed"

# Garbage: the refresh fails, the last good table stays and stderr says so.
echo garbage >"$WORK/source/mode"
wait_for "eng: refresh failed: http://127.0.0.1:$source_port/2023-24/en.1.json: line 1, column 14: syntax error" "$SERVE_LOG"
expect_eq "$(top)" "Arsenal FC 92" "table while the source sends garbage"

# A stalled source holds up neither the answers nor the shutdown.
echo stall >"$WORK/source/mode"
wait_for "stall" "$WORK/source.log"
started=$(date +%s%N)
expect_eq "$(top)" "Arsenal FC 92" "table while the source stalls"
[ $(( ($(date +%s%N) - started) / 1000000 )) -lt 2000 ] || fail "answer held up by the stalled source"
"$TOOL" fetch "$(standings_url eng)" >"$WORK/last.tsv"
started=$(date +%s)
stop_serve
[ $(($(date +%s) - started)) -le 3 ] || fail "shutdown waited for the stalled source"

# The source gone: a restart serves the cached table and says why, once
# the tries are over.
stop_source
start_serve "${opts[@]}"
"$TOOL" fetch "$(standings_url eng)" | cmp -s - "$WORK/last.tsv" || fail "rows from the cache after a restart"
wait_for "eng: http://127.0.0.1:$source_port/2023-24/en.1.json: " "$SERVE_LOG"
grep -q "^scorvane serve: eng: .*Failed to connect to 127.0.0.1 port $source_port .* (3 tries); serving the copy of http://127.0.0.1:$source_port/2023-24/en.1.json cached earlier$" \
    "$SERVE_LOG" || fail "no word of the cached copy"
stop_serve
# Never reached and nothing cached: no snapshot has 2023-24, so 404, and
# stderr says so; a made-up league only when asked for.
rm -rf "$WORK/cache"
start_serve "${opts[@]}"
wait_for "eng: http://127.0.0.1:$source_port/2023-24/en.1.json: " "$SERVE_LOG"
grep -q "^scorvane serve: eng: .*; nothing cached or bundled: not served$" "$SERVE_LOG" || fail "no word of the missing table"
expect_eq "$(http_status "$(standings_url eng)")" 404 "status without any table"
stop_serve
start_serve "${opts[@]}" --made-up
wait_for "eng: http://127.0.0.1:$source_port/2023-24/en.1.json: " "$SERVE_LOG"
grep -q "; serving a made-up league$" "$SERVE_LOG" || fail "no word of the made-up league"
expect_eq "$(http_status "$(standings_url eng)")" 200 "status of the made-up league"
stop_serve
echo "results_refresh: ok"
