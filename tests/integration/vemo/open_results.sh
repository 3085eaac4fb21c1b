#!/usr/bin/env bash
# open_results.sh VEMO TOOL: vemo with no standings site, against a source of
# open results on loopback that misbehaves in each way a file host can. The
# first good answer is kept; every failure after it shows the same table from
# the kept copy, and a source that hangs costs at most the download's bound.
vemo=$1
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/../tools/lib.sh" "$2" ""
trap cleanup EXIT

# The league file under every folder the saver may ask for, whatever today.
year=$(date +%Y)
for first in $((year - 2)) $((year - 1)) $year; do
  season=$first-$(printf %02d $(((first + 1) % 100)))
  mkdir -p "$WORK/source/$season"
  cp "$here/../../../data/football.json/2025-26/en.1.json" "$WORK/source/$season/"
done
echo ok >"$WORK/source/mode"
start_source "$WORK/source"
mkdir -p "$WORK/config/vemo"
printf '[Settings]\nChampionship=eng\nResults=http://127.0.0.1:%s\n' "$SOURCE_PORT" >"$WORK/config/vemo/vemo.ini"

status() { XDG_CONFIG_HOME=$WORK/config DISPLAY= "$vemo" --print-status 2>>"$WORK/vemo.err" || true; }
field() { sed -n "s/^$1: //p" <<<"$2"; }

first=$(status)
expect_eq "$(field from "$first")" source "where the first table came from"
expect_eq "$(field rows "$first")" 21 "rows of the first table"
expect_eq "$(field status "$first")" "Standings of 5 March 2026" "status line of the first table"
[ "$(find "$WORK/cache/vemo" -name '*_en.1.json' | wc -l)" -eq 1 ] || fail "no kept copy in $WORK/cache/vemo"

for mode in 429 garbage 503 stall gone; do
  if [ "$mode" = gone ]; then stop_source; else echo "$mode" >"$WORK/source/mode"; fi
  started=$SECONDS
  got=$(status)
  expect_eq "$(field from "$got")" cache "where the table came from with a source that is $mode"
  expect_eq "$(field rows "$got")/$(field status "$got")" "21/Standings of 5 March 2026" "the kept table ($mode)"
  [ -n "$(field problem "$got")" ] || fail "no problem named ($mode): $got"
  # The download's bound is 20 s; the saver may take a little more to start.
  [ $((SECONDS - started)) -le 24 ] || fail "a source that is $mode held the saver $((SECONDS - started)) s"
done
echo "open results: source, then the kept copy through 429, a broken file, 503, a stall and a closed port"
