#!/usr/bin/env bash
# End to end: a setup whose launch target is a Windows Installer package,
# built here with wixl, runs it through msiexec under Wine. A package that
# installs gives exit code 0 with its file and registry value in place,
# neither of which was there before, and uninstalls cleanly; one whose
# launch condition is false gives msiexec's 1603. Neither leaves anything in
# the temp directory given to the setup.
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
# The installing package's product code is fixed, so that what an earlier
# run left installed can be removed; the refused one never installs.
product='{F29A644D-65E1-49C1-A28C-0331E19C4EDB}'
wixl -D Condition=1 -D "ProductCode=${product:1:36}" -o good.msi "$here/probe_package.wxs" ||
  { echo "FAIL: wixl cannot build the package"; exit 1; }
wixl -D Condition=LM_NEVER_SET -D 'ProductCode=*' -o refused.msi "$here/probe_package.wxs" || exit 1

run() {  # NAME PACKAGE [OPTION...]: packs PACKAGE (as "Probe Package.MSI") with lmpack's OPTIONs, runs the setup with a fresh temp directory, prints its exit code
  local name=$1 package=$2
  shift 2
  mkdir -p "$name/app" "$name/Temp Dir"
  cp "$package" "$name/app/Probe Package.MSI"
  "$lmpack" pack --quiet --target "$(windows_target)" --stub "$launcher" --run "Probe Package.MSI" "$@" \
    -o "$name/setup.exe" "$name/app" || fail "lmpack pack $name exits $?"
  # A batch file reports the whole exit code: Wine hands only its low 8
  # bits to Unix (1603 would read 67).
  local temp
  temp=$(windows_path "$scratch/$name/Temp Dir")
  printf '@set TEMP=%s\r\n@set TMP=%s\r\n@setup.exe\r\n@echo exit=%%ERRORLEVEL%%\r\n' "$temp" "$temp" > "$name/run.cmd"
  (cd "$name" && bash "$wine_run" cmd /c run.cmd) | tr -d '\r' | sed -n 's/^exit=//p'
}
uninstall() {  # prints msiexec's whole exit code for removing the package, through a batch file as in run
  printf '@msiexec /x %s /qn\r\n@echo exit=%%ERRORLEVEL%%\r\n' "$product" > uninstall.cmd
  bash "$wine_run" cmd /c uninstall.cmd | tr -d '\r' | sed -n 's/^exit=//p'
}
value_installed() {
  bash "$wine_run" reg query 'HKCU\Software\LmMsiProbe' /v installed 2>/dev/null | grep -q yes
}
property_value() {
  bash "$wine_run" reg query 'HKCU\Software\LmMsiProbe' /v property 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *property *REG_SZ *//p'
}
appdata=$(bash "$wine_run" cmd /c echo %LOCALAPPDATA% | tr -d '\r')
file=$(bash "$wine_run" winepath -u "$appdata\\LmMsiProbe\\installed.txt" 2>/dev/null | tr -d '\r')
[ -n "$file" ] || { echo "FAIL: the package's file has no Unix path (LOCALAPPDATA is '$appdata')"; exit 1; }

# The Wine prefix outlives the test: what an earlier run left installed
# would pass the checks of the install. It is removed first; msiexec says
# 1605 (unknown product) when there is none.
code=$(uninstall)
case $code in
  0) echo "removed the package an earlier run left installed" ;;
  1605) ;;
  *) fail "removing an earlier install exits $code, not 0 or 1605" ;;
esac
if [ -e "$file" ] || value_installed; then
  echo "FAIL: $file or the registry value HKCU\\Software\\LmMsiProbe is there before the install"
  echo "      and the package cannot remove it; delete the Wine prefix ${LM_WINEPREFIX:-}"
  exit 1
fi

# The package gets /qn and a property with a space through the setup's
# fixed arguments, behind msiexec's /i "<package>".
code=$(run good good.msi --arguments '/qn PROBEVALUE="from the setup"')
[ "$code" = 0 ] || fail "the installing package exits $code, not 0"
[ "$(property_value)" = "from the setup" ] || fail "PROBEVALUE reached the package as '$(property_value)'"
cmp -s "$file" installed.txt || fail "the package's file is not at $file"
value_installed || fail "the package's registry value is missing"
[ -z "$(ls -A "good/Temp Dir")" ] || fail "the installing setup left $(ls -A "good/Temp Dir")"
code=$(uninstall)
[ "$code" = 0 ] || fail "the uninstall exits $code, not 0"
[ ! -e "$file" ] || fail "the uninstall left $file"
! value_installed || fail "the uninstall left the registry value"

code=$(run refused refused.msi)
[ "$code" = 1603 ] || fail "the refused package exits $code, not 1603"
[ -z "$(ls -A "refused/Temp Dir")" ] || fail "the refused setup left $(ls -A "refused/Temp Dir")"

finish "msi setups: all checks passed"
