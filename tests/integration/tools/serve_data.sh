# scorvane serve --data: a user's own leagues from CSV files.
source "$(dirname "$0")/lib.sh"

start_serve --data "$FIXTURES"

"$TOOL" fetch "$(standings_url ger)" >"$WORK/ger.tsv" || fail "fetch ger: exit $?"
cmp -s "$WORK/ger.tsv" "$FIXTURES/ger.expected.tsv" || fail "rows of ger.csv: $(diff "$WORK/ger.tsv" "$FIXTURES/ger.expected.tsv")"
# Every letter outside ASCII, and the markup characters, go out as references.
page=$(curl -s "$(standings_url ger)")
case "$page" in *'V&ouml;r&eth;r &Auml;ngelholm'*) ;; *) fail "name not written with references" ;; esac
case "$page" in *'&Ccedil;elik &amp; S&ouml;hne &lt;1903&gt;'*) ;; *) fail "markup characters not escaped" ;; esac
LC_ALL=C grep -q $'[\x80-\xff]' <<<"$page" && fail "page holds bytes outside ASCII"

# A malformed file: 500, a clear line on stderr, and the server carries on.
check_malformed() {
    local code=$1 reason=$2
    expect_eq "$(http_status "$(standings_url "$code")")" 500 "status for $code.csv"
    grep -qxF "scorvane serve: $FIXTURES/$code.csv: $reason" "$SERVE_LOG" || fail "no error line for $code.csv"
}
check_malformed ita "line 2: expected 10 fields (position, name and eight figures), found 9"
check_malformed esp "line 1: character U+0141 is not in ISO 8859-1"
check_malformed por "line 2: drawn 'one' is not a whole number"
check_malformed ned "line 1: not valid UTF-8"
check_malformed bel "no team lines"
# The fetch of a 500 is no download error: no rows, exit 0.
expect_eq "$("$TOOL" fetch "$(standings_url ita)" 2>/dev/null)" "" "rows of a 500"
# No file: 404; a code outside the table is never looked up on disk.
expect_eq "$(http_status "$(standings_url fra)")" 404 "status without a file"
expect_eq "$(http_status "http://127.0.0.1:$PORT/associations/association=..%2Fger/nationalleague/standings.html")" 404 \
    "status of a path that tries to leave the folder"
expect_eq "$(http_status "$(standings_url ger)")" 200 "status of ger.csv after the errors"
stop_serve
grep -qxF "GET $(standings_path ita) HTTP/1.1 \"curl/$(curl --version | awk 'NR==1{print $2}')\" 500" "$SERVE_LOG" ||
    fail "no request line for the 500"

# The same league with a byte-order mark and CRLF line ends, and a file that
# changes while the server runs: it is read afresh for every request.
mkdir "$WORK/data"
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' "$FIXTURES/ger.csv"; } >"$WORK/data/ger.csv"
start_serve --data "$WORK/data/"
"$TOOL" fetch "$(standings_url ger)" >"$WORK/crlf.tsv" || fail "fetch of the CRLF file"
cmp -s "$WORK/crlf.tsv" "$FIXTURES/ger.expected.tsv" || fail "rows of the CRLF file: $(cat "$WORK/crlf.tsv")"
printf '1,Solo,1,1,0,0,1,0,+1,3\n' >"$WORK/data/ger.csv"
expect_eq "$("$TOOL" fetch "$(standings_url ger)" | tail -n 1)" "$(printf '1\t\tSolo\t1\t1\t0\t0\t1\t0\t+1\t3')" \
    "rows after the file changed"
# Last-Modified is the file's, whenever the server started: a conditional
# request gets 304 while the file stays and the page once it changed.
touch -d '2024-01-02 03:04:05 UTC' "$WORK/data/ger.csv"
expect_eq "$(curl -s -D - -o /dev/null "$(standings_url ger)" | tr -d '\r' | sed -n 's/^Last-Modified: //p')" \
    "Tue, 02 Jan 2024 03:04:05 GMT" "Last-Modified of ger.csv"
expect_eq "$(http_status "$(standings_url ger)" -H 'If-Modified-Since: Tue, 02 Jan 2024 03:04:05 GMT')" 304 \
    "status while the file stays"
printf '1,Duo,2,2,0,0,2,0,+2,6\n' >"$WORK/data/ger.csv"
touch -d '2024-01-03 03:04:05 UTC' "$WORK/data/ger.csv"
expect_eq "$(http_status "$(standings_url ger)" -H 'If-Modified-Since: Tue, 02 Jan 2024 03:04:05 GMT')" 200 \
    "status after the file changed"
stop_serve

# A data folder that is not there is refused at start.
status=0
"$TOOL" serve --port 0 --data "$WORK/absent" 2>"$WORK/absent.err" || status=$?
expect_eq "$status" 1 "exit status with a missing data folder"
grep -q "is not a readable folder" "$WORK/absent.err" || fail "no reason for the missing folder"
echo "serve_data: ok"
