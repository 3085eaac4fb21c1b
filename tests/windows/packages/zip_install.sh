#!/usr/bin/env bash
# zip_install.sh CPACK-CONFIG TOOL-LIB, on an X display: builds the Windows
# archive, checks what it holds and the version block of Vemo.scr, then
# installs and runs it in a fresh Wine prefix as a user would.
set -euo pipefail
config=$1
: "${VERSION:?}" "${WINEPREFIX:?}" "${SCORVANE:?}" "${WINE_RUN:?}" "${SCREEN_CHECK:?}"
# lib.sh gives the server helpers; this prefix's Wine session ends with the test.
source "$2" "$SCORVANE" ""
saver=
trap 'if [ -n "$saver" ]; then kill "$saver" 2>/dev/null || true; fi; wineserver -k 2>/dev/null || true; cleanup' EXIT
wine_() { "$WINE_RUN" "$@"; }

cpack --config "$config" -D CPACK_OUTPUT_FILE_PREFIX="$WORK/out" >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log" >&2; fail "cpack"; }
zip=$WORK/out/Vemo-$VERSION-windows.zip
expect_eq "$(python3 -m zipfile -l "$zip" | awk 'NR > 1 && $1 !~ /\/$/ {print $1}' | sort | tr '\n' ' ')" \
  "32-bit/Vemo.scr 64-bit/Vemo.scr LICENSE.txt README.txt Vemo-Server.reg " "archive members"
python3 -m zipfile -e "$zip" "$WORK/unpacked"
unpacked=$WORK/unpacked

# Each saver is of the width its folder names, and the fixed part of its
# version block carries the version as numbers, the strings as UTF-16 text.
for width in 32 64; do
python3 - "$unpacked/$width-bit/Vemo.scr" "$VERSION" "$width" <<'PY' || fail "$width-bit/Vemo.scr"
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
machine = struct.unpack_from("<H", data, pe + 4)[0]
assert machine == {"32": 0x14C, "64": 0x8664}[sys.argv[3]], hex(machine)
major, minor, patch = map(int, sys.argv[2].split("."))
at = data.index(b"\xbd\x04\xef\xfe")
_, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, at)
assert (file_ms, file_ls) == ((major << 16) | minor, patch << 16), (hex(file_ms), hex(file_ls))
assert (product_ms, product_ls) == (file_ms, file_ls)
for name in ("FileVersion", "ProductVersion"):
    assert (name + "\0").encode("utf-16-le") in data and (sys.argv[2] + "\0").encode("utf-16-le") in data, name
PY
done
head -1 "$unpacked/README.txt" | grep -qF "Vemo $VERSION" || fail "README.txt names no version"

# A fresh prefix of the width Wine runs here; the shell's Install of the
# saver README.txt names for it: the 64-bit one into System32 of a 64-bit
# Windows, the 32-bit one into the system folder of 32-bit programs.
rm -rf "$WINEPREFIX"
wine_ reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
width=${WINE_BITS:-32}
system=system32
if [ "$width" = 32 ] && [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then system=syswow64; fi
echo "package: installing the $width-bit saver into $system"
cp "$unpacked/$width-bit/Vemo.scr" "$WINEPREFIX/drive_c/windows/$system/Vemo.scr"
wine_ reg add 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE /d "C:\\windows\\$system\\Vemo.scr" /f >/dev/null 2>&1
wine_ reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveActive /d 1 /f >/dev/null 2>&1

# The example as shipped, then the same file pointed at our site.
registry_server() {
  wine_ reg query 'HKCU\Software\Vemo\Settings' /v Server 2>/dev/null | tr -d '\r' | awk '$1 == "Server" {print $3}'
}
wine_ regedit /S "$(wine_ winepath -w "$unpacked/Vemo-Server.reg" 2>/dev/null)"
expect_eq "$(registry_server)" "standings.example.org:8080" "Server after importing the example"
start_serve
sed "s/standings\.example\.org:8080/127.0.0.1:$PORT/" "$unpacked/Vemo-Server.reg" >"$WORK/local.reg"
wine_ regedit /S "$(wine_ winepath -w "$WORK/local.reg" 2>/dev/null)"
expect_eq "$(registry_server)" "127.0.0.1:$PORT" "Server after importing the edited example"

# Started as the system starts the chosen saver.
scr=$(wine_ reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *SCRNSAVE\.EXE *REG_SZ *//p')
wine_ "$scr" /s &
saver=$!
for _ in $(seq 25); do
  import -window root "$WORK/shot.png"
  if python3 "$SCREEN_CHECK" table "$WORK/shot.png"; then
    grep -qxF "GET $(standings_path ger) HTTP/1.0 \"Vemo\" 200" "$SERVE_LOG" ||
      fail "the installed saver did not read its page from the site of the .reg"
    xdotool key a
    wait "$saver"
    saver=
    echo "package: Vemo $VERSION installed from the archive shows the table"
    exit 0
  fi
  kill -0 "$saver" 2>/dev/null || fail "the installed saver ended by itself"
  sleep 1
done
fail "no standings table on the screen"
