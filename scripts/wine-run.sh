#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, with a prefix kept inside the
# build tree (LM_WINEPREFIX) so that no user profile is touched. The first
# start creates the prefix (about 15 s); later starts take under a second.
set -eu
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPREFIX="${WINEPREFIX:-${LM_WINEPREFIX:-$PWD/.wine}}"
export WINEARCH=win32
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
