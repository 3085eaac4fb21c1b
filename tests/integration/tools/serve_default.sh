# scorvane serve and publish without options on a machine without network:
# the bundled snapshot's real tables from the first request, 404 for the
# associations it does not cover, made-up leagues only with --made-up.
source "$(dirname "$0")/lib.sh"

start_serve
"$TOOL" fetch "$(standings_url eng)" >"$WORK/eng.serve.tsv" || fail "fetch eng"
expect_eq "$(http_status "$(standings_url pol)")" 404 "status of pol"
curl -s -o "$WORK/index.html" "http://127.0.0.1:$PORT/index.html"
wait_for "scorvane serve: eng: https://raw.githubusercontent.com/openfootball/football.json/master/" "$SERVE_LOG"
snapshot_file=$(sed -n 's/^scorvane serve: eng: .*; serving the bundled snapshot (\(.*\))$/\1/p' "$SERVE_LOG")
[ -f "$snapshot_file" ] || fail "no word of the bundled snapshot"
grep -q "^scorvane serve: mex: .*; nothing cached or bundled: not served$" "$SERVE_LOG" || fail "no word of mex"
stop_serve

# The same pages as published from the snapshot as a folder, index included.
snapshot=$(dirname "$(dirname "$snapshot_file")")
"$TOOL" publish --results "$snapshot" --out "$WORK/snapshot" >"$WORK/snapshot.out" || fail "publish the snapshot"
"$TOOL" extract "$WORK/snapshot/associations/association=eng/nationalleague/standings.html" >"$WORK/eng.snapshot.tsv"
cmp -s "$WORK/eng.snapshot.tsv" "$WORK/eng.serve.tsv" || fail "served eng rows differ from the snapshot's"
cmp -s "$WORK/snapshot/index.html" "$WORK/index.html" || fail "served index differs from the published one"
grep -qxF $'<li>Poland</li>\r' "$WORK/index.html" || fail "Poland not listed without a table"
grep -qF '<a href="associations/association=eng/index.html">England</a>' "$WORK/index.html" || fail "no link to eng"
grep -qF '<a href="associations/association=eng/nationalleague/standings.html">Standings</a>' "$WORK/index.html" ||
    fail "no link to the eng standings"
# The index's date is the newest of the leagues'.
newest=$(sed -n 's/.* newest result \([0-9-]*\)<\/p>.*/\1/p' "$WORK/index.html" | sort | tail -n 1)
[ -n "$newest" ] || fail "no league's newest result on the index"
grep -qxF $'<p class="results-date">Newest result: '"$newest"$'</p>\r' "$WORK/index.html" || fail "index date"

# publish without --results: the same site, and a note for every league.
"$TOOL" publish --out "$WORK/site" >"$WORK/site.out" 2>"$WORK/site.err" || fail "publish: $(cat "$WORK/site.err")"
diff -r "$WORK/snapshot" "$WORK/site" >&2 || fail "published site differs from the snapshot's"
cmp -s "$WORK/snapshot.out" "$WORK/site.out" || fail "published pages differ from the snapshot's"
expect_eq "$(grep -c '; using the bundled snapshot (' "$WORK/site.err")" "$(wc -l <"$WORK/site.out")" \
    "notes of the bundled snapshot"

# --made-up: a league for pol, the real ones unchanged.
start_serve --made-up
expect_eq "$(http_status "$(standings_url pol)")" 200 "status of pol with --made-up"
teams=$(($("$TOOL" fetch "$(standings_url pol)" | wc -l) - 1))
[ "$teams" -ge 10 ] && [ "$teams" -le 20 ] || fail "made-up pol has $teams teams"
"$TOOL" fetch "$(standings_url eng)" | cmp -s - "$WORK/eng.snapshot.tsv" || fail "eng rows with --made-up"
stop_serve
echo "serve_default: ok"
