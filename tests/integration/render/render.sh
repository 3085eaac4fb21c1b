# scorvane render end to end: arguments, the trace, PNG and GIF output, a
# page from a real scorvane serve on loopback.
set -euo pipefail

TOOL=$1
PYTHON=$2
READER=$3
WORK=$(mktemp -d)
SERVE_PID=
unset http_proxy HTTP_PROXY all_proxy ALL_PROXY

cleanup() {
    if [ -n "$SERVE_PID" ]; then kill "$SERVE_PID" 2>/dev/null || true; wait "$SERVE_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

expect_eq() {
    [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"
}

# expect_usage_error ARGS...: exit status 2 and one message naming render.
expect_usage_error() {
    local status=0
    "$TOOL" render "$@" >"$WORK/out" 2>"$WORK/err" || status=$?
    expect_eq "$status" 2 "exit status of render $*"
    grep -q '^scorvane render: ' "$WORK/err" || fail "no error message for render $*: $(cat "$WORK/err")"
    [ -s "$WORK/out" ] && fail "render $* wrote to stdout"
    return 0
}

# --- A real page, from scorvane serve on loopback.
# The sources' snapshot: the site never reaches for the network. The log is
# there before the first look for the port.
snapshot=$(dirname "${BASH_SOURCE[0]}")/../../../data/football.json
: >"$WORK/serve.log"
"$TOOL" serve --port 0 --results "$snapshot" 2>"$WORK/serve.log" &
SERVE_PID=$!
PORT=
for _ in $(seq 100); do
    PORT=$(sed -n 's/^scorvane serve: listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$WORK/serve.log")
    [ -n "$PORT" ] && break
    sleep 0.05
done
[ -n "$PORT" ] || fail "serve did not start: $(cat "$WORK/serve.log")"
curl -sf -o "$WORK/ger.html" "http://127.0.0.1:$PORT/associations/association=ger/nationalleague/standings.html" ||
    fail "no page from serve"
kill -TERM "$SERVE_PID"
wait "$SERVE_PID" || true
SERVE_PID=
# The page as the download sees it: with CRLF line ends, which it removes.
sed 's/$/\r/' "$WORK/ger.html" >"$WORK/ger-crlf.html"

# --- Help and argument errors.
"$TOOL" render --help >"$WORK/help" || fail "render --help: exit $?"
grep -q '^usage: scorvane render ' "$WORK/help" || fail "help has no usage line"
for option in --size --scale --frames --seed --page --championship --status --out --every --trace; do
    grep -q -- "$option" "$WORK/help" || fail "help does not mention $option"
done
expect_usage_error --size 640
expect_usage_error --size 0x480
expect_usage_error --size 640x99999
expect_usage_error --size x480
expect_usage_error --scale 5
expect_usage_error --scale 0
expect_usage_error --scale
expect_usage_error --frames -1
expect_usage_error --frames ten
expect_usage_error --seed 4294967296
expect_usage_error --seed -1
expect_usage_error --out board.bmp
expect_usage_error --out board.png --every 2
expect_usage_error --out board.gif --every 0
expect_usage_error --status $'\xff'
expect_usage_error --status 'Ω'
expect_usage_error --unknown
expect_usage_error --frames
expect_usage_error extra-operand
status=0
"$TOOL" render --page "$WORK/missing.html" --frames 1 >/dev/null 2>"$WORK/err" || status=$?
expect_eq "$status" 1 "exit status for a page that cannot be read"
grep -q 'missing.html' "$WORK/err" || fail "the error does not name the page: $(cat "$WORK/err")"
status=0
"$TOOL" render --frames 2 --out "$WORK/no/such/dir/board.png" >/dev/null 2>"$WORK/err" || status=$?
expect_eq "$status" 1 "exit status for an output that cannot be written"

# --- The trace: frame headers in order, every line well formed.
"$TOOL" render --page "$WORK/ger.html" --size 800x600 --frames 600 --seed 3 --trace >"$WORK/t1" ||
    fail "render --trace: exit $?"
expect_eq "$(grep -c '^frame ' "$WORK/t1")" 600 "frame headers"
expect_eq "$(head -n 1 "$WORK/t1")" "frame 1 boxes=0" "first frame: an empty stage"
grep '^frame ' "$WORK/t1" | awk '{ split($2, n, " "); if ($2 != NR) { print "frame " $2 " at " NR; exit 1 } }' ||
    fail "frames out of order"
grep -v -E '^(frame [0-9]+ boxes=[0-9]+|text -?[0-9]+ -?[0-9]+ -?[0-9]+ -?[0-9]+ #[0-9A-F]{6} [0-9]+ "([^"\\]|\\[\\"tnr]|\\x[0-9A-F]{2})*"|fill -?[0-9]+ -?[0-9]+ -?[0-9]+ -?[0-9]+ #[0-9A-F]{6}|image [0-9]+( -?[0-9]+){8}|stretch [0-9]+( -?[0-9]+){4})$' \
    "$WORK/t1" >"$WORK/bad" && fail "malformed trace lines: $(head -n 3 "$WORK/bad")"
# A scene of 2 or more boxes left over starts the next one: after frame 1
# the stage is never empty again while the table is shown.
awk '/^frame / { split($3, b, "="); if ($2 > 1 && b[2] == 0) { print $2; exit 1 } }' "$WORK/t1" ||
    fail "the stage ran empty"
# The page's teams are on the board, in the table font's colour lines.
"$TOOL" extract "$WORK/ger.html" >"$WORK/ger.tsv"
first_team=$(sed -n '2p' "$WORK/ger.tsv" | cut -f 3)
[ -n "$first_team" ] || fail "no first team in the page"
latin1_team=$(printf '%s' "$first_team" | iconv -f UTF-8 -t ISO-8859-1 | "$PYTHON" -c '
import sys
data = sys.stdin.buffer.read()
print("".join(chr(b) if 0x20 <= b < 0x7F and b not in (0x22, 0x5C) else "\\x%02X" % b for b in data))')
grep -qF "\"$latin1_team\"" "$WORK/t1" || fail "the first team [$latin1_team] is not drawn"
# The title is the championship's display name.
grep -qF '"Germany"' "$WORK/t1" || fail "no title Germany"
"$TOOL" render --championship xyz --frames 50 --trace >"$WORK/xyz"
grep -qF '"Germany"' "$WORK/xyz" && fail "a title for an unknown code"

# Same seed, same trace; the CR and LF of the page do not matter; another
# seed plays another scene.
"$TOOL" render --page "$WORK/ger-crlf.html" --size 800x600 --frames 600 --seed 3 --trace >"$WORK/t2"
cmp -s "$WORK/t1" "$WORK/t2" || fail "two runs with the same seed differ"
"$TOOL" render --page "$WORK/ger.html" --size 800x600 --frames 600 --seed 4 --trace >"$WORK/t3"
cmp -s "$WORK/t1" "$WORK/t3" && fail "seeds 3 and 4 gave the same trace"
# Writing an image alongside does not change the trace.
"$TOOL" render --page "$WORK/ger.html" --size 800x600 --frames 600 --seed 3 --trace --out "$WORK/t.gif" --every 50 >"$WORK/t4"
cmp -s "$WORK/t1" "$WORK/t4" || fail "the trace changes when an image is written"
# The status text arrives as ISO 8859-1 bytes.
"$TOOL" render --frames 250 --status 'Grün' --trace >"$WORK/status"
grep -qF '"Gr\xFCn"' "$WORK/status" || fail "status text not drawn as Latin-1"
# No frames: nothing.
expect_eq "$("$TOOL" render --frames 0 --trace)" "" "trace of no frames"

# --- Pictures.
out=$("$TOOL" render --page "$WORK/ger.html" --size 320x240 --frames 150 --seed 5 --out "$WORK/b.png") ||
    fail "render --out png: exit $?"
expect_eq "$out" "played 150 frames on 320x240; the last began with $(
    "$TOOL" render --page "$WORK/ger.html" --size 320x240 --frames 150 --seed 5 --trace | sed -n 's/^frame 150 boxes=//p'
) boxes; wrote $WORK/b.png" "summary line"
png=$("$PYTHON" "$READER" png "$WORK/b.png")
read -r kind size colours black total <<<"$png"
expect_eq "$kind $size" "png 320x240" "PNG size"
black=${black#black=}
total=${total#total=}
colours=${colours#colours=}
# Mostly black stage, the table's text in a few colours.
[ "$black" -gt $((total / 2)) ] || fail "the picture is not mostly black: $png"
[ "$black" -lt "$total" ] || fail "the picture is all black: $png"
[ "$colours" -ge 3 ] || fail "too few colours: $png"
"$TOOL" render --page "$WORK/ger.html" --size 320x240 --frames 150 --seed 5 --out "$WORK/c.png" >/dev/null
cmp -s "$WORK/b.png" "$WORK/c.png" || fail "the same seed drew two different pictures"

"$TOOL" render --page "$WORK/ger.html" --size 320x240 --frames 150 --seed 5 --out "$WORK/b.gif" --every 20 >/dev/null ||
    fail "render --out gif: exit $?"
gif=$("$PYTHON" "$READER" gif "$WORK/b.gif")
# Frames 20, 40, ..., 140 and the last one, 150, each shown K times 20 ms;
# a frame equal to the one before only lengthens that one.
delays=${gif#* delays=}
delays=${delays%% *}
expect_eq "$(($(tr ',' '+' <<<"$delays")))" 300 "total GIF delay of 150 frames"
[ "$(tr ',' '\n' <<<"$delays" | wc -l)" -le 8 ] || fail "more GIF frames than sampled: $gif"
# While the table flies in, every sampled frame differs from the one before.
"$TOOL" render --page "$WORK/ger.html" --size 320x240 --frames 45 --seed 5 --out "$WORK/d.gif" --every 20 >/dev/null
gif=$("$PYTHON" "$READER" gif "$WORK/d.gif")
expect_eq "${gif%% lastnonblack=*}" "gif 320x240 frames=3 delays=40,40,10" "GIF frames and delays"
alike=$("$PYTHON" "$READER" same "$WORK/b.png" "$WORK/b.gif")
read -r _ n _ all <<<"$alike"
[ "$n" -ge $((all * 99 / 100)) ] || fail "the GIF's last frame is not the PNG: $alike"
# Upper-case extensions are as good.
"$TOOL" render --frames 3 --size 64x48 --out "$WORK/UP.PNG" >/dev/null || fail "render --out .PNG"
"$PYTHON" "$READER" png "$WORK/UP.PNG" | grep -q '^png 64x48 ' || fail "UP.PNG"
# A 4K screen at scale 3 is the 1280x720 stage, each pixel a 3x3 block,
# drawing for drawing.
out=$("$TOOL" render --page "$WORK/ger.html" --size 3840x2160 --scale 3 --frames 300 --seed 2 --out "$WORK/4k.png") ||
    fail "render --scale 3: exit $?"
expect_eq "$out" "played 300 frames on 1280x720 at scale 3 (3840x2160); the last began with $(
    "$TOOL" render --page "$WORK/ger.html" --size 1280x720 --frames 300 --seed 2 --trace | sed -n 's/^frame 300 boxes=//p'
) boxes; wrote $WORK/4k.png" "summary line at scale 3"
"$TOOL" render --page "$WORK/ger.html" --size 1280x720 --frames 300 --seed 2 --out "$WORK/720.png" >/dev/null
expect_eq "$("$PYTHON" "$READER" blown "$WORK/4k.png" "$WORK/720.png" 3)" "blown 3840x2160 from 1280x720 wrongrows=0" \
    "4K at scale 3"
# auto keeps the largest stage of at least 1280x720; the trace is the stage's.
cmp -s <("$TOOL" render --page "$WORK/ger.html" --size 2600x1500 --scale auto --frames 200 --trace) \
    <("$TOOL" render --page "$WORK/ger.html" --size 1300x750 --frames 200 --trace) ||
    fail "the trace at scale auto on 2600x1500 is not that of the 1300x750 stage"
"$PYTHON" "$READER" png "$WORK/720.png" | grep -q ' black=921600 ' && fail "the 1280x720 picture is all black"
echo "render: all checks passed"
