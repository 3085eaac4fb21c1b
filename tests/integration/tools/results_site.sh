# scorvane publish and serve --results on finished seasons: the same rows
# through serve, through a plain static file server and from the files;
# caching headers; refusals that leave the site as it was.
source "$(dirname "$0")/lib.sh"

RESULTS=$FIXTURES/../results
printf '# deductions of the season\neng,2023-24,Everton FC,-8,two breaches\neng,2023-24,Nottingham Forest FC,-4,\n' \
    >"$WORK/adjust.csv"
printf 'Wolverhampton Wanderers FC,Wolves\n' >"$WORK/names.csv"
opts=(--results "$RESULTS" --season 2023-24 --adjust "$WORK/adjust.csv" --names "$WORK/names.csv")

"$TOOL" publish "${opts[@]}" --out "$WORK/site" >"$WORK/publish.out" 2>"$WORK/publish.err" ||
    fail "publish: $(cat "$WORK/publish.err")"
expect_eq "$(cut -f1-4 "$WORK/publish.out" | tr '\t' '|')" \
    "eng|English Premier League|2023-24|20
ita|Italian Serie A|2023-24|20
aut|Austrian Bundesliga|2023-24|12" "pages published"
page=$WORK/site/associations/association=eng/nationalleague/standings.html
"$TOOL" extract "$page" >"$WORK/eng.files.tsv"
expect_eq "$(sed -n '1p;2p;15p;16p;18p;21p' "$WORK/eng.files.tsv")" \
"$(printf 'Pos.\t\tClub\tP\tW\tD\tL\tGF\tGA\tGD\tPts
1.\t\tManchester City FC\t38\t28\t7\t3\t96\t34\t+62\t91
14.\t\tWolves\t38\t13\t7\t18\t50\t65\t-15\t46
15.\t\tEverton FC\t38\t13\t9\t16\t40\t51\t-11\t40
17.\t\tNottingham Forest FC\t38\t9\t9\t20\t49\t67\t-18\t32
20.\t\tSheffield United FC\t38\t3\t7\t28\t35\t104\t-69\t16')" "rows of the published eng page"
# Austria on halved points in its two groups: Sturm the champion, Wolfsberg
# below the split with more points than the sixth.
expect_eq "$("$TOOL" extract "$WORK/site/associations/association=aut/nationalleague/standings.html" |
    sed -n '2p;7p;8p' | cut -f1,3,11 | tr '\t' ' ')" "1. Sturm Graz 44
6. SK Austria Klagenfurt 22
7. Wolfsberger AC 31" "groups of the published aut page"
grep -q '<title>English Premier League - Standings</title>' "$page" || fail "page title"
grep -q 'href="associations/association=ita/nationalleague/standings.html"' "$WORK/site/index.html" || fail "index"
# The index: the three with links and the newest result of them all (Serie
# A's postponed game), the other associations by name alone. Each page
# carries its own league's newest result, outside the table.
index=$WORK/site/index.html
expect_eq "$(grep -c '<a href="associations/association=[a-z]*/nationalleague/standings.html"' "$index")" 3 \
    "links to standings on the index"
expect_eq "$(grep -c $'^<li>[^<]*</li>\r$' "$index")" 164 "associations without a table on the index"
grep -qxF $'<li>New Zealand</li>\r' "$index" || fail "New Zealand is not listed without a table"
grep -qxF $'<p class="results-date">Newest result: 2024-06-02</p>\r' "$index" || fail "no newest result on the index"
grep -qxF $'<p class="results-date">Newest result: 2024-05-19</p>\r' "$page" || fail "no newest result on the eng page"

# The same rows through serve and through a plain static file server.
start_serve "${opts[@]}"
"$TOOL" fetch "$(standings_url eng)" >"$WORK/eng.serve.tsv" || fail "fetch through serve"
cmp "$WORK/eng.files.tsv" "$WORK/eng.serve.tsv" || fail "serve gives other rows than the files"
: >"$WORK/static.log"
python3 -u -m http.server --bind 127.0.0.1 --directory "$WORK/site" 0 >>"$WORK/static.log" 2>&1 &
STATIC_PID=$!
trap 'kill $STATIC_PID 2>/dev/null || true; cleanup' EXIT
for _ in $(seq 100); do
    static_port=$(sed -n 's/^Serving HTTP on 127.0.0.1 port \([0-9]*\) .*/\1/p' "$WORK/static.log")
    [ -n "$static_port" ] && break
    sleep 0.05
done
[ -n "$static_port" ] || fail "the static server did not start"
for code in eng ita; do
    "$TOOL" fetch "http://127.0.0.1:$static_port$(standings_path $code)" >"$WORK/$code.static.tsv" || fail "static $code"
    "$TOOL" fetch "$(standings_url $code)" >"$WORK/$code.serve.tsv"
    cmp "$WORK/$code.static.tsv" "$WORK/$code.serve.tsv" || fail "static and live rows of $code differ"
done
# Serie A: Torino above Napoli on the games between them.
expect_eq "$(sed -n '10p;11p' "$WORK/ita.serve.tsv" | cut -f3,11 | tr '\t' ' ')" "Torino FC 53
SSC Napoli 53" "head-to-head order of ita"

# Validators and 304 for a conditional request.
headers=$(curl -s -D - -o /dev/null "$(standings_url eng)" | tr -d '\r')
etag=$(sed -n 's/^ETag: //p' <<<"$headers")
modified=$(sed -n 's/^Last-Modified: //p' <<<"$headers")
[ -n "$etag" ] && [ -n "$modified" ] || fail "no validators: $headers"
grep -qx 'Cache-Control: public, max-age=60' <<<"$headers" || fail "no Cache-Control: $headers"
expect_eq "$(http_status "$(standings_url eng)" -H "If-None-Match: $etag")" 304 "status with the current ETag"
expect_eq "$(http_status "$(standings_url eng)" -H 'If-None-Match: "other"')" 200 "status with another ETag"
expect_eq "$(http_status "$(standings_url eng)" -H "If-Modified-Since: $modified")" 304 "status with Last-Modified"
expect_eq "$(http_status "$(standings_url eng)" -H "If-Modified-Since: Mon, 01 Jan 2001 00:00:00 GMT")" 200 \
    "status with an old date"
# Without results for it, an association gets 404, also with --only-real,
# which older service settings pass; a made-up league with --made-up.
expect_eq "$(http_status "$(standings_url nzl)")" 404 "status without results"
stop_serve
start_serve "${opts[@]}" --only-real
expect_eq "$(http_status "$(standings_url nzl)")" 404 "--only-real without results"
expect_eq "$(http_status "$(standings_url ita)")" 200 "--only-real with results"
stop_serve
start_serve "${opts[@]}" --made-up
expect_eq "$(http_status "$(standings_url nzl)")" 200 "made-up league beside the real ones"
expect_eq "$("$TOOL" fetch "$(standings_url ita)")" "$(cat "$WORK/ita.serve.tsv")" "real table beside made-up ones"
stop_serve
"$TOOL" publish "${opts[@]}" --made-up --out "$WORK/made-up" >"$WORK/made-up.out" 2>/dev/null || fail "publish --made-up"
expect_eq "$(wc -l <"$WORK/made-up.out")" 167 "pages published with --made-up"
expect_eq "$(grep -c $'\tmade-up league\t-\t' "$WORK/made-up.out")" 164 "made-up pages published"
[ -f "$WORK/made-up/associations/association=nzl/nationalleague/standings.html" ] || fail "no made-up nzl page"
[ -e "$WORK/site/associations/association=nzl" ] && fail "a made-up nzl page without --made-up"

# Refusals: the file and where it broke, and the site left as it was.
cp "$WORK/site/index.html" "$WORK/index.before"
mkdir -p "$WORK/bad/2023-24"
cp "$RESULTS/2023-24/it.1.json" "$WORK/bad/2023-24/"
printf '{"name": "x",\n "matches": [\n  {"team1": "A", "team2": "B", "score": {"ft": [1, ]}}]}\n' \
    >"$WORK/bad/2023-24/en.1.json"
check_refusal() {
    if "$TOOL" publish --results "$WORK/bad" --out "$WORK/site" 2>"$WORK/refused.err"; then fail "$1 was published"; fi
    expect_eq "$(cat "$WORK/refused.err")" "$2" "error for $1"
    cmp -s "$WORK/index.before" "$WORK/site/index.html" || fail "$1 changed the site"
    expect_eq "$(ls -A "$WORK" | grep -c '^\.site\.new')" 0 "staging folders left by $1"
}
check_refusal "malformed JSON" \
    "scorvane publish: $WORK/bad/2023-24/en.1.json: line 3, column 52: syntax error while parsing value - unexpected ']'; expected '[', '{', or a literal; nothing was written"
head -c 50000000 /dev/zero | tr '\0' ' ' >"$WORK/bad/2023-24/en.1.json"
check_refusal "a 50 MB file" "scorvane publish: $WORK/bad/2023-24/en.1.json: larger than 16 MiB; nothing was written"
printf 'eng,2023-24,Everton,-8,\n' >"$WORK/bad.csv"
if "$TOOL" publish "${opts[@]/$WORK\/adjust.csv/$WORK/bad.csv}" --out "$WORK/site" 2>"$WORK/refused.err"; then
    fail "an unknown team in --adjust was published"
fi
expect_eq "$(cat "$WORK/refused.err")" \
    "scorvane publish: $WORK/bad.csv: line 1: no team \"Everton\" in $RESULTS/2023-24/en.1.json; nothing was written" \
    "error for an unknown team"
echo "results_site: ok"
