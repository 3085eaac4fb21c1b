#!/usr/bin/env bash
# team_rotation.sh VEMO TOOL: the Team and Rotation settings end to end.
# Several leagues from a standings site and from open results, one of them
# failing, an unknown code left out with a word; a club picked out, or not
# with the reason; and render's trace unchanged by a club that matches none.
vemo=$1
here=$(dirname "${BASH_SOURCE[0]}")
data=$here/../../../data/football.json
source "$here/../tools/lib.sh" "$2" ""
trap cleanup EXIT

mkdir -p "$WORK/config/vemo"
status() { XDG_CONFIG_HOME=$WORK/config DISPLAY= "$vemo" --print-status "$@" 2>"$WORK/vemo.err" || true; }

# From a site: Poland has no open results, so the site has no page for it.
start_serve --results "$data"
printf '[Settings]\nChampionship=esp\nServer=127.0.0.1:%s\nRotation=eng, zz ,pol,ger\nTeam=Bayern\n' "$PORT" \
  >"$WORK/config/vemo/vemo.ini"
got=$(status)
expect_eq "$(grep '^league:' <<<"$got")" "league: eng rows 21 status 
league: pol rows 0 status Mistake of data acquisition.
league: ger rows 19 status " "the leagues of a rotation from the site"
expect_eq "$(grep '^team:' <<<"$got")" "team: eng: 'Bayern' matches no club
team: pol: 'Bayern' matches no club
team: ger: FC Bayern München" "the club in each league"
grep -qx "vemo: the Rotation setting names no association 'zz'; it is left out" "$WORK/vemo.err" ||
  fail "no word on the unknown code: $(cat "$WORK/vemo.err")"
grep -qx "vemo: Team (eng): 'Bayern' matches no club" "$WORK/vemo.err" || fail "no word on the miss: $(cat "$WORK/vemo.err")"

# The command line stands in for the settings; "United" names several clubs.
got=$(status --rotation eng --team united)
expect_eq "$(grep '^team:' <<<"$got")" "team: eng: 'united' matches 4 clubs: Manchester United FC, Newcastle United FC, Leeds United FC, West Ham United FC; none is picked out" "a name of several clubs"
got=$(status --rotation "" --team "")
expect_eq "$(sed -n 's/^championship: //p' <<<"$got")" esp "an empty --rotation leaves the championship"
[ -z "$(grep '^team:' <<<"$got")" ] || fail "an empty --team still picked: $got"
stop_serve

# From open results on loopback, all leagues at once.
for league in en.1 de.1; do mkdir -p "$WORK/source/2025-26" && cp "$data/2025-26/$league.json" "$WORK/source/2025-26/"; done
echo ok >"$WORK/source/mode"
start_source "$WORK/source"
printf '[Settings]\nResults=http://127.0.0.1:%s\nRotation=ger,pol,eng\n' "$SOURCE_PORT" >"$WORK/config/vemo/vemo.ini"
got=$(status)
expect_eq "$(grep '^league:' <<<"$got" | sed 's/ status Standings of [0-9]* [A-Za-z]* 20[0-9][0-9]$/ dated/')" \
  "league: ger rows 19 dated
league: pol rows 0 status No open results for Poland
league: eng rows 21 dated" "the leagues of a rotation from open results"

# A club that matches nothing draws exactly what no club draws.
page=$WORK/page.html
start_serve --results "$data"
curl -s -o "$page" "$(standings_url ger)"
"$TOOL" render --page "$page" --frames 700 --seed 7 --trace >"$WORK/plain.trace"
"$TOOL" render --page "$page" --frames 700 --seed 7 --trace --team "Real Madrid" >"$WORK/none.trace" 2>"$WORK/render.err"
cmp -s "$WORK/plain.trace" "$WORK/none.trace" || fail "a club that matches nothing changed the trace"
grep -q "'Real Madrid' matches no club" "$WORK/render.err" || fail "render said nothing of the miss"
# Nor does a name of several clubs.
"$TOOL" render --page "$page" --frames 700 --seed 7 --trace --team "fc" >"$WORK/several.trace" 2>"$WORK/render.err"
cmp -s "$WORK/plain.trace" "$WORK/several.trace" || fail "a name of several clubs changed the trace"
grep -q "'fc' matches [0-9]* clubs: " "$WORK/render.err" || fail "render did not name the clubs: $(cat "$WORK/render.err")"
"$TOOL" render --page "$page" --frames 700 --seed 7 --trace --team "bayern" >"$WORK/team.trace"
[ "$(grep -c '#FFCC00 16 "FC Bayern M.xFCnchen"' "$WORK/team.trace")" -gt 0 ] || fail "no gold in the trace of a club picked out"
echo "team and rotation: site, open results, command line and render"
