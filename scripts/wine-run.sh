#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, with a prefix kept inside the
# build tree (LM_WINEPREFIX) so that no user profile is touched. The first
# start creates the prefix (about 15 s); later starts take under a second.
# LM_WINEARCH=win64 runs 64-bit programs under 64-bit Wine (the win64
# preset); the default is 32-bit Wine.
set -eu
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPREFIX="${WINEPREFIX:-${LM_WINEPREFIX:-$PWD/.wine}}"
if [ "${LM_WINEARCH:-win32}" = win64 ]; then
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  wine=/usr/lib/wine/wine64
else
  export WINEARCH=win32
  wine=wine
fi
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
