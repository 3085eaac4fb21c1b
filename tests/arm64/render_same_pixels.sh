#!/usr/bin/env bash
# scorvane render cross-built for arm64, run under qemu-user, against the
# native x86-64 scorvane: for each case both write the trace and the picture,
# and the traces must be the same bytes and the pictures the same pixels.
# Both runs read the same font files through fontconfig and draw with the
# same FreeType, so any difference is the canvas's own arithmetic.
#   render_same_pixels.sh NATIVE_SCORVANE PAGES_DIR EMULATOR... ARM64_SCORVANE
set -euo pipefail

native=$1
pages=$2
shift 2
arm64=("$@")

fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$native" ] || fail "no native scorvane at $native: build the linux preset first (make linux)"
command -v convert >/dev/null || fail "ImageMagick's convert is needed to decode the pictures"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Neither run may reach the network, and fontconfig keeps any cache it
# writes in the scratch folder.
export https_proxy=http://127.0.0.1:9 http_proxy=http://127.0.0.1:9
export XDG_CACHE_HOME=$work/cache

# pixels PICTURE OUT: the decoded RGBA bytes, every frame of a GIF in turn.
pixels() {
    convert "$1" -coalesce -depth 8 rgba:"$2" || fail "cannot decode $1"
}

# same NAME PICTURE_NAME ARGS...: renders with both tools and compares.
same() {
    local name=$1 picture=$2
    shift 2
    local dir=$work/$name
    mkdir -p "$dir/native" "$dir/arm64"
    "$native" render "$@" --trace --out "$dir/native/$picture" >"$dir/native/trace" 2>"$dir/native/err" ||
        fail "$name: the native render failed: $(cat "$dir/native/err")"
    "${arm64[@]}" render "$@" --trace --out "$dir/arm64/$picture" >"$dir/arm64/trace" 2>"$dir/arm64/err" ||
        fail "$name: the arm64 render failed: $(cat "$dir/arm64/err")"

    # What either run says on stderr (a font stand-in, a team not found) is
    # part of what it did.
    cmp -s "$dir/native/err" "$dir/arm64/err" ||
        fail "$name: stderr differs: native [$(cat "$dir/native/err")], arm64 [$(cat "$dir/arm64/err")]"
    if ! cmp -s "$dir/native/trace" "$dir/arm64/trace"; then
        diff "$dir/native/trace" "$dir/arm64/trace" | head -10 >&2 || true
        fail "$name: the traces differ"
    fi

    pixels "$dir/native/$picture" "$dir/native/rgba"
    pixels "$dir/arm64/$picture" "$dir/arm64/rgba"
    local bytes
    bytes=$(stat -c %s "$dir/native/rgba")
    if ! cmp -s "$dir/native/rgba" "$dir/arm64/rgba"; then
        local first count pixel w h
        first=$(cmp "$dir/native/rgba" "$dir/arm64/rgba" | awk '{print $5}' | tr -d ,) || true
        count=$(cmp -l "$dir/native/rgba" "$dir/arm64/rgba" | wc -l) || true
        read -r w h < <(identify -format '%w %h\n' "$dir/native/$picture" | head -1)
        pixel=$(((first - 1) / 4))
        fail "$name: $count of $bytes RGBA bytes differ, the first in frame $((pixel / (w * h) + 1)) at x=$((pixel % w)) y=$((pixel / w % h))"
    fi
    echo "$name: trace ($(stat -c %s "$dir/native/trace") bytes) and $bytes RGBA bytes the same"
}

# The picture must show what the comparison is about: TEXT drawn in the
# last frame, and pixels of its colour in its box (the board's glyphs are
# not antialiased), not a black screen that any two builds agree on.
expect_drawn() {
    local name=$1 picture=$2 scale=$3 text=$4 op inked
    op=$(awk '/^frame /{ops=""} {ops=ops $0 "\n"} END{printf "%s", ops}' "$work/$name/native/trace" |
         grep -aF "\"$text" | head -1)
    [ -n "$op" ] || fail "$name: the last frame has no text \"$text\""
    read -r _ l t r b colour _ <<<"$op"
    inked=$(convert "$work/$name/native/$picture[0]" \
            -crop "$(((r - l) * scale))x$(((b - t) * scale))+$((l * scale))+$((t * scale))" txt:- |
            grep -ci " $colour ") || true
    [ "$inked" -ge $((40 * scale * scale)) ] ||
        fail "$name: $inked pixels of $colour where \"$text\" is drawn: no glyphs"
}

# The table standing, the user's club in gold, at the default size.
same table-gold last.png --page "$pages/nordliga.html" --seed 1 --frames 120 --team "SV Nordhafen 08"
expect_drawn table-gold last.png 1 "SV Nordhafen 08"
# A large screen at scale 2 (the blown-up stage), another seed and page, a
# status line in UTF-8.
same scale-2 last.png --page "$pages/kuestenliga.html" --seed 4242 --frames 300 --size 1920x1080 --scale 2 \
    --championship eng --status "Stand: 8. März"
expect_drawn scale-2 last.png 2 "Stand: 8. M"
# Every tenth frame of a scene into a GIF: the colour tables and the LZW
# coder on top of the canvas.
same gif frames.gif --page "$pages/sierra.html" --seed 77 --frames 200 --size 640x480 --every 10
frames=$(identify -format '%p\n' "$work/gif/native/frames.gif" | wc -l)
[ "$frames" -eq 20 ] || fail "gif: expected 20 frames, got $frames"
