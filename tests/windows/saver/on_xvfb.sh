#!/usr/bin/env bash
# Runs a command on a fresh Xvfb screen of 1024 x 768 at 24 bits, or with
# the server arguments in XVFB_SCREENS (e.g. a 4K screen, or two screens
# joined with Xinerama). Two
# `xvfb-run -a` started at the same moment can pick the same display number,
# and then one server fails to start: such a start (the command never ran)
# is retried; the command's own failure is not.
set -u
for attempt in 1 2 3 4 5; do
  marker=$(mktemp)
  rm -f "$marker"
  xvfb-run -a -s "${XVFB_SCREENS:--screen 0 1024x768x24}" bash -c 'touch "$0" && exec "$@"' "$marker" "$@"
  rc=$?
  if [ -e "$marker" ]; then
    rm -f "$marker"
    exit "$rc"
  fi
  echo "on_xvfb: no X server on attempt $attempt, retrying" >&2
  sleep "$attempt"
done
exit 1
