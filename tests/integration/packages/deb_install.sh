#!/usr/bin/env bash
# deb_install.sh CPACK-CONFIG TOOL-LIB: builds the vemo and scorvane
# packages, checks what they hold, installs them into a throw-away root with
# dpkg -x, runs the programs from there (scorvane fetch against the
# installed scorvane serve on loopback), removes them and expects nothing
# left behind. lintian must report no error.
set -euo pipefail
config=$1
tree=$(mktemp -d)
root=$tree/root
# lib.sh gives the server helpers, for the installed scorvane.
source "$2" "$root/usr/bin/scorvane" ""
trap 'cleanup; rm -rf "$tree"' EXIT
: "${VERSION:?}"

cpack --config "$config" -D CPACK_OUTPUT_FILE_PREFIX="$tree/out" >"$tree/cpack.log" 2>&1 ||
  { cat "$tree/cpack.log" >&2; fail "cpack"; }
arch=$(dpkg --print-architecture)
vemo_deb=$tree/out/vemo_${VERSION}_$arch.deb
scorvane_deb=$tree/out/scorvane_${VERSION}_$arch.deb

# Every entry with its mode and owner, as dpkg would install it.
listing() { dpkg-deb -c "$1" | awk '{print $1, $2, $6}'; }
expect_files() {
  local deb=$1
  shift
  diff <(listing "$deb" | grep -v '^d' | sort -k3) <(printf '%s\n' "$@" | sort -k3) >&2 ||
    fail "$(basename "$deb"): files or modes differ (< package, > expected)"
  listing "$deb" | grep '^d' | grep -v '^drwxr-xr-x root/root ' >&2 &&
    fail "$(basename "$deb"): a folder that is not 0755 root/root" || true
}
x='-rwxr-xr-x root/root' r='-rw-r--r-- root/root'
vemo_files=("$x ./usr/libexec/xscreensaver/vemo" "$r ./usr/share/xscreensaver/config/vemo.xml"
  "$r ./usr/share/man/man6/vemo.6.gz" "$r ./usr/share/doc/vemo/copyright" "$r ./usr/share/doc/vemo/changelog.gz"
  "$x ./usr/libexec/vemo-settings")
mapfile -t vemo_data < <(cd "$DATA_DIR" && find . -type f -printf "$r ./usr/share/vemo/football.json/%P\n")
expect_files "$vemo_deb" "${vemo_files[@]}" "${vemo_data[@]}"
mapfile -t data_files < <(cd "$DATA_DIR" && find . -type f -printf "$r ./usr/share/scorvane/football.json/%P\n")
expect_files "$scorvane_deb" "$x ./usr/bin/scorvane" "$r ./usr/share/man/man1/scorvane.1.gz" \
  "$r ./usr/share/bash-completion/completions/scorvane" "$r ./lib/systemd/system/scorvane.service" \
  "$r ./usr/lib/systemd/user/scorvane.service" "$r ./etc/default/scorvane" \
  "$r ./usr/share/doc/scorvane/copyright" "$r ./usr/share/doc/scorvane/changelog.gz" "${data_files[@]}"

# Versions from the one place, dependencies from the libraries linked.
expect_eq "$(dpkg-deb -f "$vemo_deb" Version)" "$VERSION" "vemo package version"
expect_eq "$(dpkg-deb -f "$scorvane_deb" Version)" "$VERSION" "scorvane package version"
dpkg-deb -f "$vemo_deb" Depends | grep -qE '(^|, )libx11-6(,| |$)' || fail "vemo: no computed dependency on libx11-6"
dpkg-deb -f "$vemo_deb" Depends | grep -q 'libc6 (>= ' || fail "vemo: no versioned dependency on libc6"
dpkg-deb -f "$scorvane_deb" Depends | grep -q 'libcurl4 (>= ' || fail "scorvane: no computed dependency on libcurl4"
expect_eq "$(dpkg-deb -I "$scorvane_deb" conffiles)" "/etc/default/scorvane" "scorvane conffiles"
expect_eq "$(zcat "$(dpkg-deb -x "$vemo_deb" "$tree/doc" && echo "$tree/doc/usr/share/doc/vemo/changelog.gz")" | head -1)" \
  "scorvane ($VERSION) unstable; urgency=medium" "newest changelog entry"

dpkg -x "$vemo_deb" "$root"
dpkg -x "$scorvane_deb" "$root"
vemo=$root/usr/libexec/xscreensaver/vemo
DISPLAY= "$vemo" --help | grep -q -- '--version' || fail "vemo --help"
expect_eq "$(DISPLAY= "$vemo" --version)" "vemo $VERSION" "vemo --version"
expect_eq "$("$TOOL" --version)" "scorvane $VERSION" "scorvane --version"
expect_eq "$("$root/usr/libexec/vemo-settings" --version)" "vemo-settings $VERSION" "vemo-settings --version"
"$TOOL" --help | grep -q '^  serve ' || fail "scorvane --help lists no serve"

# The service's command line names the installed program.
exec_start=$(sed -n 's/^ExecStart=\([^ ]*\) .*/\1/p' "$root/lib/systemd/system/scorvane.service")
[ -x "$root$exec_start" ] || fail "ExecStart names $exec_start, which the package does not install"
# systemd names every line of a unit it cannot read; what it says of the
# machine (no systemd running, the program not installed here) is not ours.
units=("$root/lib/systemd/system/scorvane.service" "$root/usr/lib/systemd/user/scorvane.service")
systemd-analyze verify --man=no "${units[@]}" 2>&1 | grep -E '\.service:[0-9]+: ' >&2 &&
  fail "systemd does not understand a line of a unit" || true

# The saver's settings name the server; fetch reads it from there.
start_serve
mkdir -p "$WORK/config/vemo"
printf '[Settings]\nServer=127.0.0.1:%s\n' "$PORT" >"$WORK/config/vemo/vemo.ini"
rows=$(XDG_CONFIG_HOME=$WORK/config "$TOOL" fetch eng) || fail "fetch eng"
grep -qxF "GET $(standings_path eng) HTTP/1.0 \"Vemo\" 200" "$SERVE_LOG" || fail "serve did not answer fetch"
expect_eq "$rows" "$(curl -s "$(standings_url eng)" | "$TOOL" extract)" "fetched rows against the page's own"
[ "$(wc -l <<<"$rows")" -gt 2 ] || fail "fetch printed no table: $rows"
# Without options the installed serve shows the bundled real table.
grep -q $'\tArsenal FC\t' <<<"$rows" || fail "the installed serve shows no real Premier League: $rows"
stop_serve

# With no site set and the source of open results gone, the installed saver
# shows the newest table of the snapshot its package installed.
mkdir -p "$WORK/results-only/vemo"
printf '[Settings]\nChampionship=eng\nResults=http://127.0.0.1:%s/fj\n' \
  "$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')" \
  >"$WORK/results-only/vemo/vemo.ini"
status=$(XDG_CONFIG_HOME=$WORK/results-only XDG_CACHE_HOME=$WORK/cache DISPLAY= "$vemo" --print-status) ||
  fail "vemo --print-status with the snapshot: $status"
newest=$(cd "$DATA_DIR" && ls -d */en.1.json | sort -t- -k1,1n | tail -1)
grep -qxF "from: snapshot" <<<"$status" || fail "the saver did not fall back to its snapshot: $status"
grep -qxF "file: $root/usr/share/vemo/football.json/$newest" <<<"$status" ||
  fail "the saver read another snapshot than its package's: $status"
grep -q '^status: Standings of [0-9]' <<<"$status" || fail "no date on the status line: $status"

# Completion offers the commands and options the installed program knows.
complete_words() {
  COMP_WORDS=("$@") COMP_CWORD=$(($# - 1))
  _scorvane
  echo "${COMPREPLY[*]}"
}
source "$root/usr/share/bash-completion/completions/scorvane"
PATH=$root/usr/bin:$PATH
expect_eq "$(complete_words scorvane se)" "serve" "completion of se"
expect_eq "$(complete_words scorvane serve --da)" "--data" "completion of serve --da"
expect_eq "$(complete_words scorvane render --f)" "--frames" "completion of render --f"
expect_eq "$(complete_words scorvane serve --port '')" "" "completion of a port"

# Nothing unlisted in the root (the programs wrote nothing there); removing
# the listed files and then the emptied folders leaves nothing.
listed() { dpkg-deb -c "$vemo_deb"; dpkg-deb -c "$scorvane_deb"; }
diff <(listed | awk '$1 !~ /^d/ {print substr($6, 2)}' | sort) <(cd "$root" && find . -type f -printf '/%P\n' | sort) >&2 ||
  fail "the root holds files no package lists (>) or lacks listed ones (<)"
listed | awk '$1 !~ /^d/ {print substr($6, 2)}' | while read -r f; do rm "$root$f"; done
listed | awk '$1 ~ /^d/ {print substr($6, 2)}' | sort -ur | while read -r d; do
  if [ -d "$root$d" ] && [ -z "$(ls -A "$root$d")" ]; then rmdir "$root$d"; fi
done
[ -z "$(ls -A "$root")" ] || { find "$root" >&2; fail "left behind after removal"; }

lintian --no-tag-display-limit "$vemo_deb" "$scorvane_deb" >"$tree/lintian.log" 2>&1 || true
cat "$tree/lintian.log"
grep -q '^E: ' "$tree/lintian.log" && fail "lintian reports errors"
echo "packages: vemo and scorvane $VERSION built, installed, run and removed"
