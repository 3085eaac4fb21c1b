# scorvane columns: the tables of every served page fit the board's columns.
source "$(dirname "$0")/lib.sh"

# Every association has a page: the real tables and made-up leagues.
start_serve --made-up
status=0
"$TOOL" columns --server "127.0.0.1:$PORT" all >"$WORK/all.txt" 2>"$WORK/all.err" || status=$?
stop_serve
cat "$WORK/all.txt"
expect_eq "$status" 0 "exit status over the served pages ($(cat "$WORK/all.err"))"
[ ! -s "$WORK/all.err" ] || fail "stderr: $(cat "$WORK/all.err")"
summary=$(tail -n 1 "$WORK/all.txt")
case "$summary" in "columns: 167 pages, "*", 0 overlaps, "*) ;; *) fail "summary: $summary" ;; esac
# Names wider than their column are listed, one a line, and counted.
long=$(sed -n 's/.* overlaps, \([0-9]*\) club names over 200 px;.*/\1/p' <<<"$summary")
expect_eq "$(grep -c ': club name "' "$WORK/all.txt" || true)" "$long" "listed long names"

# A figure too wide for its column, and a page without a table.
sed 's/>+44</>+444</' "$FIXTURES/../golden/ger_standings.html" >"$WORK/wide.html"
printf '<html><body>no table</body></html>' >"$WORK/empty.html"
status=0
"$TOOL" columns "$WORK/wide.html" "$WORK/empty.html" >"$WORK/wide.txt" 2>"$WORK/wide.err" || status=$?
expect_eq "$status" 1 "exit status with an overlap"
expect_eq "$(head -n 1 "$WORK/wide.txt")" "$WORK/wide.html: row 1: \"+444\" is 33 px wide and runs 3 px into \"82\"" \
    "overlap line"
expect_eq "$(tail -n 1 "$WORK/wide.txt")" \
    'columns: 1 pages, 21 rows, 1 overlaps, 0 club names over 200 px; widest figure "+444" 33 px, narrowest gap between figures 5 px' \
    "summary with an overlap"
expect_eq "$(cat "$WORK/wide.err")" "scorvane columns: $WORK/empty.html: no standings table" "unreadable page"
echo "columns: ok"
