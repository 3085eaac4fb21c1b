#!/usr/bin/env bash
# setup_install.sh BUILD-DIR NSIS-SCRIPT SAVERS TOOL-LIB: builds the setup
# program from the tree's configured script, checks its version block, then
# in a fresh Wine prefix installs and uninstalls it silently, twice: once over
# another saver the user had chosen, keeping the user's settings, once with
# /REMOVESETTINGS.
#
# The shipped setup program is 32-bit. It runs here in the 32-bit tier; the
# 64-bit tier runs on machines that cannot execute 32-bit code at all, so
# there the same script is built as a 64-bit program and that one runs.
set -euo pipefail
build=$1 script=$2 savers=$3
: "${VERSION:?}" "${WINEPREFIX:?}" "${WINE_RUN:?}" "${WINE_BITS:?}"
source "$4" "" ""
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
wine_() { "$WINE_RUN" "$@"; }

cmake --build "$build" --target vemo_setup_savers >"$WORK/build.log" 2>&1 ||
  { cat "$WORK/build.log" >&2; fail "stripping the savers"; }
make_setup() { # TARGET OUT
  makensis -V2 -DTARGET="$1" -DOUTFILE="$2" "$script" >"$WORK/makensis.log" 2>&1 ||
    { cat "$WORK/makensis.log" >&2; fail "makensis $1"; }
}
make_setup x86-unicode "$WORK/setup32.exe"
setup=$WORK/setup32.exe
if [ "$WINE_BITS" = 64 ]; then
  make_setup amd64-unicode "$WORK/setup64.exe"
  setup=$WORK/setup64.exe
fi

# Each program's width, and the version as numbers in the fixed part of its
# version block and as UTF-16 text in its strings.
for exe in "$WORK"/setup*.exe; do
python3 - "$exe" "$VERSION" <<'PY' || fail "version block of $(basename "$exe")"
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
machine = struct.unpack_from("<H", data, pe + 4)[0]
assert machine == (0x8664 if sys.argv[1].endswith("64.exe") else 0x14C), hex(machine)
major, minor, patch = map(int, sys.argv[2].split("."))
at = data.index(b"\xbd\x04\xef\xfe")
_, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, at)
assert (file_ms, file_ls) == ((major << 16) | minor, patch << 16), (hex(file_ms), hex(file_ls))
assert (product_ms, product_ls) == (file_ms, file_ls)
for name, value in (("ProductVersion", sys.argv[2]), ("FileDescription", "Vemo screen saver setup"),
                    ("CompanyName", "Scorvane project")):
    text = (name + "\0").encode("utf-16-le")
    assert text in data, name
    assert (value + "\0").encode("utf-16-le") in data[data.index(text):][:200], name
PY
done

# The registry at the prefix's width: a 64-bit Windows lists programs in its
# 64-bit view, and the 32-bit one must stay empty.
view=()
if [ "$WINE_BITS" = 64 ]; then view=(/reg:64); fi
desktop='HKCU\Control Panel\Desktop'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vemo'
# key_values KEY [VIEW...]: NAME|DATA, a line for each value, sorted.
key_values() {
  wine_ reg query "$@" 2>/dev/null | tr -d '\r' | sed -nE 's/^    (.+)    REG_[A-Z_]+(    (.*))?$/\1|\3/p' | sort
}
# value NAME: its data in key_values' lines on stdin, or <absent>.
value() { awk -v name="$1" 'index($0, name "|") == 1 {print substr($0, length(name) + 2); found = 1}
                            END {if (!found) print "<absent>"}'; }
# screen_saver: the user's SCRNSAVE.EXE, ScreenSaveActive and ScreenSaveTimeOut.
screen_saver() {
  local values
  values=$(key_values "$desktop")
  echo "$(value SCRNSAVE.EXE <<<"$values") $(value ScreenSaveActive <<<"$values") $(value ScreenSaveTimeOut <<<"$values")"
}
key_absent() { # KEY [VIEW...]
  local out
  out=$(wine_ reg query "$@" 2>&1 | tr -d '\r') && fail "$1 ${*:2} is still there: $out"
  grep -q "Unable to find the specified registry key" <<<"$out" || fail "reg query $*: $out"
}

drive_c=$WINEPREFIX/drive_c
saver_file=$drive_c/windows/system32/Vemo.scr
saver='C:\windows\system32\Vemo.scr'
folder=$drive_c/Program\ Files/Vemo
uninstaller='C:\Program Files\Vemo\Uninstall.exe'
other='C:\windows\system32\other.scr'

rm -rf "$WINEPREFIX"
wine_ reg add "$desktop" /v ScreenSaveTimeOut /d 900 /f >/dev/null 2>&1
cache=$(wine_ winepath -u "$(wine_ cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')\\Vemo" 2>/dev/null)
[ "${cache#"$WINEPREFIX"/}" != "$cache" ] || fail "no local application data folder in the prefix: [$cache]"

# run_setup: runs the setup program silently and checks what it left.
run_setup() {
  wine_ "$setup" /S || fail "setup /S exited with $?"
  wineserver -w
  cmp -s "$saver_file" "$savers/$WINE_BITS-bit/Vemo.scr" || fail "system32 holds no $WINE_BITS-bit Vemo.scr"
  [ ! -e "$drive_c/windows/syswow64/Vemo.scr" ] || fail "a saver in syswow64"
  [ -f "$folder/Uninstall.exe" ] || fail "no uninstaller"
  expect_eq "$(screen_saver)" "$saver 1 900" "the user's screen saver, active, timeout after setup"
  local size
  size=$(( ($(stat -c %s "$saver_file") + $(stat -c %s "$folder/Uninstall.exe") + 1023) / 1024 ))
  expect_eq "$(key_values "$uninstall_key" "${view[@]}")" "$(sort <<EOF
DisplayName|Vemo screen saver
DisplayVersion|$VERSION
Publisher|Scorvane project
UninstallString|"$uninstaller"
QuietUninstallString|"$uninstaller" /S
DisplayIcon|$saver,0
InstallLocation|C:\\Program Files\\Vemo
NoModify|0x1
NoRepair|0x1
EstimatedSize|$(printf '0x%x' "$size")
URLInfoAbout|https://scorvane.example.org/
EOF
)" "the uninstall entry"
  if [ "$WINE_BITS" = 64 ]; then key_absent "$uninstall_key" /reg:32; fi
}

# run_uninstaller [SWITCH...]: the uninstaller copies itself away and starts the
# copy; the prefix's last process ending is the copy's end.
run_uninstaller() {
  wine_ "$uninstaller" /S "$@" || fail "Uninstall.exe /S $* exited with $?"
  wineserver -w
  [ ! -e "$saver_file" ] || fail "the saver is still in system32"
  [ ! -e "$folder" ] || fail "Program Files\\Vemo is still there: $(ls -A "$folder")"
  key_absent "$uninstall_key" "${view[@]}"
  key_absent 'HKCU\Software\Vemo\Setup'
}

# Over another saver, installed twice (an update must not take our own saver
# for the one to go back to); the user's settings and kept tables survive.
wine_ reg add "$desktop" /v SCRNSAVE.EXE /d "$other" /f >/dev/null 2>&1
wine_ reg add "$desktop" /v ScreenSaveActive /d 0 /f >/dev/null 2>&1
run_setup
run_setup
wine_ reg add 'HKCU\Software\Vemo\Settings' /v Championship /d eng /f >/dev/null 2>&1
mkdir -p "$cache"
echo '{}' >"$cache/en.1.json"
run_uninstaller
expect_eq "$(screen_saver)" "$other 0 900" "the user's screen saver, active, timeout put back"
expect_eq "$(key_values 'HKCU\Software\Vemo\Settings')" "Championship|eng" "the user's settings"
[ -f "$cache/en.1.json" ] || fail "the kept tables are gone"
echo "package: setup over another saver, uninstalled: the saver before and the user's settings are back"

# On a desktop with no saver chosen, removing the settings too.
wine_ reg delete "$desktop" /v SCRNSAVE.EXE /f >/dev/null 2>&1
wine_ reg delete "$desktop" /v ScreenSaveActive /f >/dev/null 2>&1
run_setup
run_uninstaller /REMOVESETTINGS
expect_eq "$(screen_saver)" "<absent> <absent> 900" "the user's screen saver, active, timeout after uninstalling"
key_absent 'HKCU\Software\Vemo'
[ ! -e "$cache" ] || fail "the kept tables are still there"
echo "package: Vemo $VERSION setup ($(basename "$setup")) installed and removed, settings too with /REMOVESETTINGS"
