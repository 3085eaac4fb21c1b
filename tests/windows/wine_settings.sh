# Sourced by the Windows GUI tests: the saver's settings in the registry of
# the test's Wine prefix, through Wine's reg ($WINE_RUN runs it). Needs
# fail() and $work of the test.
settings_key='HKCU\Software\Vemo\Settings'

# Wine's reg now and then fails once while the wineserver of the previous
# program is still going away: it is tried again before the test gives up.
set_value() {
  local try
  for try in 1 2 3; do
    "$WINE_RUN" reg add "$settings_key" /v "$1" /d "$2" /f >/dev/null 2>"$work/reg.err" && return 0
    sleep 1
  done
  fail "reg add $1: $(tr -d '\r' <"$work/reg.err")"
}
clear_value() { "$WINE_RUN" reg delete "$settings_key" /v "$1" /f >/dev/null 2>&1 || true; }
