# scorvane publish against a results source on loopback that is not there
# yet, sheds load or fails for good: tried again where that helps, then the
# copy cached earlier, then the bundled snapshot, never a made-up league
# (serve with a source gone: results_refresh.sh).
source "$(dirname "$0")/lib.sh"

RESULTS=$FIXTURES/../results
mkdir -p "$WORK/source/2023-24"
cp "$RESULTS/2023-24/en.1.json" "$WORK/source/2023-24/"
"$TOOL" publish --results "$RESULTS" --season 2023-24 --out "$WORK/folder" >/dev/null || fail "publish from the folder"
eng_page() { echo "$WORK/$1/associations/association=eng/nationalleague/standings.html"; }
"$TOOL" extract "$(eng_page folder)" >"$WORK/folder.tsv"

# publish_from_source NAME [ARGS...]: into $WORK/NAME, its eng rows in
# $WORK/NAME.tsv, stdout and stderr beside them.
publish_from_source() {
    local name=$1
    shift
    "$TOOL" publish --results "http://127.0.0.1:$SOURCE_PORT" "$@" --out "$WORK/$name" \
        >"$WORK/$name.out" 2>"$WORK/$name.err" || fail "publish $name: $(cat "$WORK/$name.err")"
    "$TOOL" extract "$(eng_page "$name")" >"$WORK/$name.tsv"
}
url() { echo "http://127.0.0.1:$SOURCE_PORT/2023-24/en.1.json"; }
requests() { grep -c "^/2023-24/en.1.json $1 " "$WORK/source.log" || true; }

# Refusing connections for 1.5 s: the third try, 3 s on, finds it. Neither
# the cache nor the snapshot has 2023-24, so the page comes from the source.
echo ok >"$WORK/source/mode"
start_source "$WORK/source" --late 1.5
publish_from_source late --season 2023-24
cmp -s "$WORK/folder.tsv" "$WORK/late.tsv" || fail "rows after refused connections differ"
grep -qxF "eng	English Premier League	2023-24	20	$(url)" "$WORK/late.out" || fail "eng not from the source"
grep -q ": eng: " "$WORK/late.err" && fail "a note on eng although the source answered: $(cat "$WORK/late.err")"

# 429 with Retry-After: 2: the copy cached just now revalidated after the
# pause the source asked for, not the second the tool would wait of its own.
echo 429 >"$WORK/source/mode"
publish_from_source shed --season 2023-24
cmp -s "$WORK/folder.tsv" "$WORK/shed.tsv" || fail "rows after 429 differ"
expect_eq "$(requests 429) $(requests 304)" "1 1" "429, then the revalidation"
pause=$(awk '$1 == "/2023-24/en.1.json" { t[$2] = $3 } END { print (t[304] - t[429] >= 1.9) ? "honoured" : t[304] - t[429] }' \
    "$WORK/source.log")
expect_eq "$pause" honoured "pause before the second request"
grep -q ": eng: " "$WORK/shed.err" && fail "a note on eng after 429: $(cat "$WORK/shed.err")"

# 503 on every try: the cached copy, and stderr says so.
echo 503 >"$WORK/source/mode"
publish_from_source busy --season 2023-24
cmp -s "$WORK/folder.tsv" "$WORK/busy.tsv" || fail "rows from the cache differ"
expect_eq "$(requests 503)" 3 "tries of a source answering 503"
grep -qxF "scorvane publish: note: eng: $(url): answered with status 503 (3 tries); using the copy of $(url) cached earlier" \
    "$WORK/busy.err" || fail "no note of the cached copy: $(cat "$WORK/busy.err")"

# Nothing cached: the bundled snapshot's newest season, read as from a folder.
rm -rf "$XDG_CACHE_HOME"
publish_from_source bundled
snapshot_file=$(sed -n 's/^scorvane publish: note: eng: .* (3 tries); using the bundled snapshot (\(.*\))$/\1/p' "$WORK/bundled.err")
[ -f "$snapshot_file" ] || fail "no note of the bundled snapshot: $(cat "$WORK/bundled.err")"
"$TOOL" publish --results "$(dirname "$(dirname "$snapshot_file")")" --out "$WORK/snapshot" >/dev/null 2>&1
"$TOOL" extract "$(eng_page snapshot)" >"$WORK/snapshot.tsv"
cmp -s "$WORK/snapshot.tsv" "$WORK/bundled.tsv" || fail "rows differ from the snapshot's"
# And neither has 2023-24: no page, and no made-up one.
status=0
"$TOOL" publish --results "http://127.0.0.1:$SOURCE_PORT" --season 2023-24 --out "$WORK/none" 2>"$WORK/none.err" || status=$?
expect_eq "$status" 1 "exit status without any table"
grep -qxF "scorvane publish: note: eng: $(url): answered with status 503 (3 tries); nothing cached or bundled: no page" \
    "$WORK/none.err" || fail "no note of the missing table: $(cat "$WORK/none.err")"
[ -e "$WORK/none" ] && fail "a site without any table"

stop_source
echo "results_retry: ok"
