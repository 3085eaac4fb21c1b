#!/usr/bin/env bash
# The arm64 Debian packages as make package ARCH=arm64 makes them, checked
# on the build machine: cpack in the tree of everything they hold
# (FULL_TREE, the arm64-full preset's), their control data against the
# libraries the programs really need, each program linked as the native
# build's is, and the unpacked scorvane run under qemu-user, its render the
# native one's to the byte. lintian must report no error (it knows a binary
# of another architecture than the package says).
#   deb_packages.sh FULL_TREE NATIVE_TREE PAGES_DIR EMULATOR...
set -euo pipefail

full=$1
native=$2
pages=$3
shift 3
emulator=("$@")
: "${VERSION:?}"

fail() { echo "FAIL: $*" >&2; exit 1; }
# Where the arm64 X11, GTK and Wayland libraries cannot be had, the test
# says so, and ctest counts it as skipped.
skip() {
    echo "arm64 packages: SKIPPED because $1 (scripts/install-deps installs it when the mirror allows)"
    exit 0
}
for lib in libX11 libXext libXrandr libXinerama libXrender libgtk-3 libwayland-client; do
    [ -e "/usr/lib/aarch64-linux-gnu/$lib.so" ] || skip "no arm64 $lib.so is installed"
done
[ -f "$full/CPackConfig.cmake" ] && [ -x "$full/platform/x11/vemo" ] && [ -x "$full/tools/scorvane" ] ||
    fail "no arm64 tree with the saver at $full: build it first (make package ARCH=arm64, or scripts/test-arm64)"
[ -x "$native/tools/scorvane" ] && [ -x "$native/platform/x11/vemo" ] ||
    fail "no native build at $native: build the linux preset first (make linux)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export https_proxy=http://127.0.0.1:9 http_proxy=http://127.0.0.1:9
export XDG_CACHE_HOME=$work/cache

cpack --config "$full/CPackConfig.cmake" -D CPACK_OUTPUT_FILE_PREFIX="$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack in $full"; }
root=$work/root
for name in vemo scorvane; do
    deb=$work/out/${name}_${VERSION}_arm64.deb
    [ -f "$deb" ] || fail "cpack made no $(basename "$deb"), but: $(ls "$work/out" | tr '\n' ' ')"
    arch=$(dpkg-deb -f "$deb" Architecture)
    [ "$arch" = arm64 ] || fail "$name: Architecture is '$arch', not arm64"
    mkdir -p "$root/$name"
    dpkg-deb -x "$deb" "$root/$name"
done

# needed ELF: the libraries the dynamic section names, the loader aside
# (the native vemo names x86-64's, which the arm64 one does without).
needed() {
    readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v '^ld-linux' | sort
}
# Each program of the packages: an AArch64 executable, stripped by the
# cross binutils, needing what its native build needs.
declare -A native_of=([vemo/usr/libexec/xscreensaver/vemo]=platform/x11/vemo
                      [vemo/usr/libexec/vemo-settings]=platform/x11/vemo-settings
                      [scorvane/usr/bin/scorvane]=tools/scorvane)
for program in "${!native_of[@]}"; do
    elf=$root/$program
    machine=$(readelf -h "$elf" | sed -n 's/^ *Machine: *//p')
    [ "$machine" = AArch64 ] || fail "$program: machine '$machine', not AArch64"
    file -b "$elf" | grep -q ', stripped$' || fail "$program is not stripped: $(file -b "$elf")"
    diff <(needed "$native/${native_of[$program]}") <(needed "$elf") >&2 ||
        fail "$program needs other libraries than the native build (< native, > arm64)"
done
# The saver carries its C++ runtime (platform/x11/CMakeLists.txt), as natively.
if needed "$root/vemo/usr/libexec/xscreensaver/vemo" | grep -E '^lib(stdc\+\+|gcc_s)\.'; then
    fail "vemo needs the shared C++ runtime"
fi

# Depends must name the arm64 package of every library the programs need,
# and nothing else: CPack lets dpkg-shlibdeps skip a library it finds no
# package for, so a lookup among the wrong architecture's would show here.
for name in vemo scorvane; do
    mapfile -t sonames < <(find "$root/$name" -type f -perm -u+x -exec sh -c 'file -b "$1" | grep -q "^ELF"' _ {} \; -print |
        while read -r elf; do needed "$elf"; done | sort -u)
    owners=$(dpkg-query -S "${sonames[@]/#/*/aarch64-linux-gnu/}" 2>&1) ||
        fail "$name: not every library needed is in an arm64 package: $owners"
    expected=$(sed 's/: .*//' <<<"$owners" | sort -u)
    depends=$(dpkg-deb -f "$work/out/${name}_${VERSION}_arm64.deb" Depends)
    diff <(sed 's/:arm64$//' <<<"$expected") <(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g' | sort -u) >&2 ||
        fail "$name: Depends '$depends' is not the packages of the libraries needed (< needed, > Depends)"
    grep -q 'libc6 (>= ' <<<"$depends" || fail "$name: no versioned dependency on libc6: $depends"
done

lintian --no-tag-display-limit "$work/out/vemo_${VERSION}_arm64.deb" "$work/out/scorvane_${VERSION}_arm64.deb" \
    >"$work/lintian.log" 2>&1 || true
grep '^E: ' "$work/lintian.log" >&2 && fail "lintian reports errors"

# The unpacked tool runs on the emulated processor, and plays one league's
# table as the native tool does: the same trace and pixels.
scorvane=$root/scorvane/usr/bin/scorvane
version=$("${emulator[@]}" "$scorvane" --version) || fail "scorvane --version under ${emulator[*]}"
[ "$version" = "scorvane $VERSION" ] || fail "scorvane --version says '$version'"
render=(render --page "$pages/nordliga.html" --seed 3 --frames 150 --team "SV Nordhafen 08" --trace)
"$native/tools/scorvane" "${render[@]}" --out "$work/native.png" >"$work/native.trace" ||
    fail "the native render failed"
"${emulator[@]}" "$scorvane" "${render[@]}" --out "$work/arm64.png" >"$work/arm64.trace" ||
    fail "the packaged arm64 render failed"
grep -q '"SV Nordhafen 08"' "$work/arm64.trace" || fail "the arm64 render drew no row of the league"
cmp "$work/native.trace" "$work/arm64.trace" || fail "the packaged arm64 render's trace differs from the native one"
cmp <(convert "$work/native.png" -depth 8 rgba:-) <(convert "$work/arm64.png" -depth 8 rgba:-) ||
    fail "the packaged arm64 render's pixels differ from the native one's"
echo "arm64 packages: vemo and scorvane $VERSION for arm64, control data, programs and a render checked"
