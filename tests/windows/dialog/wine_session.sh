#!/usr/bin/env bash
# Runs one Windows program under WINE_RUN in the prefix WINEPREFIX names, in
# a Wine session of its own on the current X display: Wine binds a session
# to the display of its first program, so none may outlive its display.
#
#   wine_session.sh [--unmanaged] PROGRAM [ARGS...]
#
# --unmanaged: the program's windows are not handed to a window manager.
# There is none on a bare Xvfb, and Wine waits up to two seconds for one
# whenever a managed window is hidden; tests that open many windows would
# spend most of their time waiting.
set -u
: "${WINEPREFIX:?}" "${WINE_RUN:?}"
export WINEPREFIX
unmanaged=0
if [ "${1:-}" = --unmanaged ]; then
  unmanaged=1
  shift
fi
wineserver -k 2>/dev/null || true
if [ "$unmanaged" = 1 ]; then
  "$WINE_RUN" reg add "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")\\X11 Driver" /v Managed /d N /f \
    >/dev/null 2>&1 || { echo "wine_session: cannot configure $1" >&2; exit 1; }
fi
"$WINE_RUN" "$@"
rc=$?
wineserver -k 2>/dev/null || true
exit "$rc"
