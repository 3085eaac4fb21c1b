# The standings site in headless Chromium (site_browser.py): every page
# reachable from / on scorvane serve loads without a console error, a
# failed load or a script error, fits a phone's screen, changes its colours
# in the dark scheme; and screenshots of a standings page and a fixtures
# page. With SCORVANE_SITE_SHOTS=FOLDER the screenshots are kept there:
# the README's docs/images/site-standings.png and site-fixtures.png.
source "$(dirname "$0")/lib.sh"
here=$(dirname "$0")

chromium=$(command -v chromium || true)
if [ -z "$chromium" ]; then
    echo "SKIP: chromium is not installed (scripts/install-deps installs it)"
    exit 77
fi

start_serve
timeout 60 python3 "$here/site_crawl.py" "http://127.0.0.1:$PORT/" --list "$WORK/pages" >/dev/null \
    2>"$WORK/crawl.err" || fail "crawl: $(cat "$WORK/crawl.err")"
# The browser's own files, and nothing of the user's.
mkdir "$WORK/profile" "$WORK/home"
shots=${SCORVANE_SITE_SHOTS:-$WORK}
HOME=$WORK/home timeout 150 python3 "$here/site_browser.py" --chromium "$chromium" --profile "$WORK/profile" \
    --pages "$WORK/pages" \
    --shot "$(standings_url eng)" "$shots/site-standings.png" \
    --shot "http://127.0.0.1:$PORT/associations/association=eng/nationalleague/fixtures.html" \
    "$shots/site-fixtures.png" >"$WORK/browser.out" 2>"$WORK/browser.err" ||
    fail "in the browser: $(cat "$WORK/browser.err") $(tail -n 5 "$WORK/profile/chromium.log" 2>/dev/null)"
expect_eq "$(cat "$WORK/browser.out")" "56 pages, 2 screenshots" "pages in the browser"
# Both screenshots as wide as the screen; the standings page whole, the
# fixtures page cut at the screenshot's height.
size() { python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(24); print(*struct.unpack(">II", d[16:24]))' "$1"; }
expect_eq "$(size "$shots/site-fixtures.png")" "1280 1400" "size of the fixtures screenshot"
read -r width height <<<"$(size "$shots/site-standings.png")"
[ "$width" = 1280 ] && [ "$height" -gt 900 ] && [ "$height" -le 1400 ] || fail "standings screenshot of ${width}x$height"
stop_serve
echo "site_browser: ok"
