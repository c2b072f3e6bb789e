#!/usr/bin/env bash
# End to end: a setup branded by lmpack (--icon with 16x16 and 32x32
# bitmaps and a 256x256 PNG, six --version-info strings, one with a
# copyright sign) as Windows' own calls under Wine read it back
# (version_probe): every string, the fixed versions, three icon images and
# the asInvoker manifest. The branded setup runs its program; signed with
# osslsigncode it verifies, reads back the same and still runs. The layout
# of its headers, which Wine does not check, is launcher_branding_test's.
#
# Usage: branding_test.sh LMPACK LMSETUP_EXE PROBE_EXE VERSION_PROBE_EXE MAKE_ICON WINE_RUN
#   LMPACK             a native lmpack (build/native/bin/lmpack)
#   LMSETUP_EXE        the Windows launcher
#   PROBE_EXE          the end-to-end tests' probe program, built for Windows
#   VERSION_PROBE_EXE  tests/windows/version_probe.cc, built for Windows
#   MAKE_ICON          scripts/make_icon.py
#   WINE_RUN           scripts/wine-run.sh (uses LM_WINEPREFIX)
set -u

if [ $# -ne 6 ]; then
  echo "usage: $0 LMPACK LMSETUP_EXE PROBE_EXE VERSION_PROBE_EXE MAKE_ICON WINE_RUN" >&2
  exit 2
fi
# One tool at a time: command -v with several names succeeds when any one exists.
for tool in osslsigncode openssl python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (bash scripts/setup.sh)"; exit 1; }
done
# realpath -e fails for a missing file.
paths=$(realpath -e "$@") || { echo "FAIL: a file is missing (lmpack: build the native preset first)"; exit 1; }
mapfile -t paths <<<"$paths"
lmpack=${paths[0]} launcher=${paths[1]} probe=${paths[2]} version_probe=${paths[3]} make_icon=${paths[4]}
wine_run=${paths[5]}

source "$(dirname "${BASH_SOURCE[0]}")/../support/script_support.sh" lmbrand

mkdir -p app
cp "$probe" app/probe.exe
printf 42 > app/exitcode.txt
cp "$version_probe" version_probe.exe
python3 "$make_icon" vendor.ico 16 32 256 || { echo "FAIL: make_icon.py"; exit 1; }
strings=("CompanyName=Example Corp" "FileDescription=Example Product Setup" "ProductName=Example Product"
         "LegalCopyright=© 2024 Example Corp" "FileVersion=2.5" "ProductVersion=2.5.1.7")
options=(--icon vendor.ico)
for s in "${strings[@]}"; do options+=(--version-info "$s"); done
"$lmpack" pack --quiet --target "$(windows_target)" --stub "$launcher" --run probe.exe -o setup.exe "${options[@]}" app ||
  { echo "FAIL: lmpack pack with branding exits $?"; exit 1; }

"$lmpack" list setup.exe > list.txt || fail "lmpack list setup.exe exits $?"
for s in "${strings[@]}"; do
  grep -qxF "version info: $s" list.txt || fail "lmpack list does not show $s"
done

check_probe() {  # FILE: what Windows reads back from it
  bash "$wine_run" version_probe.exe "$1" "probe-$1.txt" || fail "version_probe $1 exits $?"
  local report="probe-$1.txt"
  grep -qx "translation=040904b0" "$report" || fail "$1: no US English, Unicode string table"
  for s in "${strings[@]}"; do
    grep -qxF "string $s" "$report" || fail "$1: Windows does not read back $s"
  done
  grep -qx "fixed file=2.5.0.0 product=2.5.1.7" "$report" || fail "$1: fixed versions $(grep '^fixed' "$report")"
  grep -qx "icons=3" "$report" || fail "$1: the icon group names $(grep '^icons=' "$report") images, not 3"
  for n in 16 32 256; do
    grep -qx "icon $n=${n}x$n" "$report" || fail "$1: the $n-pixel icon reads as $(grep "^icon $n=" "$report")"
  done
  grep -qx "manifest asInvoker" "$report" || fail "$1: the manifest does not ask for asInvoker"
}
run() {  # SETUP: runs it in its own directory; its exit code must be the program's 42
  mkdir -p "run-$1"
  cp "$1" "run-$1/"
  (cd "run-$1" && bash "$wine_run" "$1")
  local code=$?
  [ "$code" -eq 42 ] || fail "$1 exits $code, not the program's 42"
  [ -f "run-$1/probe-report.txt" ] || fail "$1 did not start its program"
}

check_probe setup.exe
run setup.exe

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=lmsetup branding test" >/dev/null 2>&1 || { echo "FAIL: openssl cannot make a certificate"; exit 1; }
osslsigncode sign -certs cert.pem -key key.pem -in setup.exe -out signed.exe >/dev/null 2>&1 ||
  fail "osslsigncode sign setup.exe"
osslsigncode verify -CAfile cert.pem -in signed.exe > verify.txt 2>&1 ||
  fail "osslsigncode verify signed.exe: $(tail -n 3 verify.txt)"
"$lmpack" verify signed.exe >/dev/null || fail "lmpack verify signed.exe exits $?"
check_probe signed.exe
run signed.exe

finish "branded setups: all checks passed"
