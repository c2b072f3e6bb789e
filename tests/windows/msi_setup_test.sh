#!/usr/bin/env bash
# End to end: a setup whose launch target is a Windows Installer package,
# built here with wixl, runs it through msiexec under Wine. A package that
# installs gives exit code 0 with its file and registry value in place; one
# whose launch condition is false gives msiexec's 1603. Neither leaves
# anything in the temp directory given to the setup.
#
# Usage: msi_setup_test.sh LMPACK LMSETUP_EXE WINE_RUN
#   LMPACK       a native lmpack (the native preset's)
#   LMSETUP_EXE  the Windows launcher
#   WINE_RUN     scripts/wine-run.sh (uses LM_WINEPREFIX)
set -u

if [ $# -ne 3 ]; then
  echo "usage: $0 LMPACK LMSETUP_EXE WINE_RUN" >&2
  exit 2
fi
command -v wixl >/dev/null || { echo "FAIL: wixl is not installed (bash scripts/setup.sh)"; exit 1; }
for file in "$@"; do
  [ -f "$file" ] || { echo "FAIL: $file is missing (lmpack: build the native preset first)"; exit 1; }
done
lmpack=$(realpath "$1") launcher=$(realpath "$2") wine_run=$(realpath "$3")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$(dirname "${BASH_SOURCE[0]}")/../support/script_support.sh" lmmsi

printf 'installed by msiexec\n' > installed.txt
wixl -D Condition=1 -o good.msi "$here/probe_package.wxs" || { echo "FAIL: wixl cannot build the package"; exit 1; }
wixl -D Condition=LM_NEVER_SET -o refused.msi "$here/probe_package.wxs" || exit 1

run() {  # NAME PACKAGE: packs PACKAGE (as "Probe Package.MSI"), runs the setup with a fresh temp directory, prints its exit code
  mkdir -p "$1/app" "$1/Temp Dir"
  cp "$2" "$1/app/Probe Package.MSI"
  "$lmpack" pack --quiet --target windows --stub "$launcher" --run "Probe Package.MSI" -o "$1/setup.exe" "$1/app" ||
    fail "lmpack pack $1 exits $?"
  # A batch file reports the whole exit code: Wine hands only its low 8
  # bits to Unix (1603 would read 67).
  local temp
  temp=$(windows_path "$scratch/$1/Temp Dir")
  printf '@set TEMP=%s\r\n@set TMP=%s\r\n@setup.exe\r\n@echo exit=%%ERRORLEVEL%%\r\n' "$temp" "$temp" > "$1/run.cmd"
  (cd "$1" && bash "$wine_run" cmd /c run.cmd) | tr -d '\r' | sed -n 's/^exit=//p'
}
installed_file() {
  local appdata
  appdata=$(bash "$wine_run" cmd /c echo %LOCALAPPDATA% | tr -d '\r')
  bash "$wine_run" winepath -u "$appdata\\LmMsiProbe\\installed.txt" 2>/dev/null | tr -d '\r'
}

code=$(run good good.msi)
[ "$code" = 0 ] || fail "the installing package exits $code, not 0"
file=$(installed_file)
[ -n "$file" ] && cmp -s "$file" installed.txt || fail "the package's file is not at $file"
bash "$wine_run" reg query 'HKCU\Software\LmMsiProbe' /v installed 2>/dev/null | grep -q yes ||
  fail "the package's registry value is missing"
[ -z "$(ls -A "good/Temp Dir")" ] || fail "the installing setup left $(ls -A "good/Temp Dir")"
bash "$wine_run" msiexec /x "$(windows_path "$scratch/good.msi")" /qn >/dev/null 2>&1

code=$(run refused refused.msi)
[ "$code" = 1603 ] || fail "the refused package exits $code, not 1603"
[ -z "$(ls -A "refused/Temp Dir")" ] || fail "the refused setup left $(ls -A "refused/Temp Dir")"

finish "msi setups: all checks passed"
