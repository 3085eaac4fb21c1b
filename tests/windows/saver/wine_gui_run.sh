#!/usr/bin/env bash
# Runs a Windows program under scripts/wine-run in the prefix WINEPREFIX
# names, on the current X display, and ends that prefix's Wine session
# before and after: Wine binds a session's desktop to the display of its
# first program, so a session must not outlive the display it started on.
set -u
: "${WINEPREFIX:?a private prefix for programs with windows}"
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
wineserver -k 2>/dev/null || true
# No window manager on the test screen: Wine must not wait for one.
"$top/scripts/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
"$top/scripts/wine-run" "$@"
rc=$?
wineserver -k 2>/dev/null || true
exit "$rc"
