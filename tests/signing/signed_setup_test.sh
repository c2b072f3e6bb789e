#!/usr/bin/env bash
# End to end: Windows setup executables signed with Authenticode by
# osslsigncode, with a throwaway self-signed certificate made here, still
# list (with a matching integrity record), verify, extract and run under
# Wine; the signature verifies, also after a second, nested one, and no
# longer does once a payload byte is changed.
#
# Usage: signed_setup_test.sh LMPACK LMSETUP_EXE PROBE_EXE WINE_RUN
#   LMPACK       a native lmpack (the native preset's)
#   LMSETUP_EXE  the Windows launcher
#   PROBE_EXE    the end-to-end tests' probe program, built for Windows
#   WINE_RUN     scripts/wine-run.sh (uses LM_WINEPREFIX)
#
# Four Wine starts: one unsigned setup as the reference, then the signed
# ones. Each must exit with the probe's code, report the same unpacked files
# as the reference, have run inside the temp directory given to it, and
# leave that directory empty.
set -u

if [ $# -ne 4 ]; then
  echo "usage: $0 LMPACK LMSETUP_EXE PROBE_EXE WINE_RUN" >&2
  exit 2
fi
for tool in osslsigncode openssl; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (bash scripts/setup.sh)"; exit 1; }
done
for file in "$@"; do
  [ -f "$file" ] || { echo "FAIL: $file is missing (lmpack: build the native preset first)"; exit 1; }
done
lmpack=$(realpath "$1") launcher=$(realpath "$2") probe=$(realpath "$3") wine_run=$(realpath "$4")

source "$(dirname "${BASH_SOURCE[0]}")/../support/script_support.sh" lmsign

# ---- the folder, the certificate and the setups ----
mkdir -p app/data/sub app/empty
cp "$probe" app/probe.exe
printf 42 > app/exitcode.txt
seq 1 20000 > app/data/numbers.txt
printf 'signed\n' > "app/data/sub/read me.txt"
: > app/data/zero.bin

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=lmsetup signing test" >/dev/null 2>&1 || { echo "FAIL: openssl cannot make a certificate"; exit 1; }

pack() {  # STUB OUT TARGET
  "$lmpack" pack --quiet --target "$3" --stub "$1" --run probe.exe -o "$2" app ||
    fail "lmpack pack -o $2 exits $?"
}
sign() {  # IN OUT [options]
  local in=$1 out=$2
  shift 2
  osslsigncode sign "$@" -certs cert.pem -key key.pem -in "$in" -out "$out" >/dev/null 2>&1 ||
    fail "osslsigncode sign $* -out $out"
}
size_of() { stat -c %s "$1"; }

# Signing pads the file to a multiple of 8 before the certificate table.
# lmpack places a Windows setup's payload so that no padding is needed; the
# native target does not, so packing the Windows launcher for it (behind a
# few extra bytes where needed) gives a setup that is signed behind padding.
aligned=setup.exe unaligned=other.exe
pack "$launcher" "$aligned" "$(windows_target)"
[ $(( $(size_of "$aligned") % 8 )) -eq 0 ] || fail "$aligned is not a multiple of 8 bytes long"
cp "$launcher" stub.exe
pack stub.exe "$unaligned" native
if [ $(( $(size_of "$unaligned") % 8 )) -eq 0 ]; then
  printf 'xyz' >> stub.exe
  pack stub.exe "$unaligned" native
fi
[ $(( $(size_of "$unaligned") % 8 )) -ne 0 ] || fail "$unaligned is a multiple of 8 bytes long"

sign "$aligned" signed-aligned.exe
sign "$unaligned" signed-padded.exe
sign signed-padded.exe signed-twice.exe -nest
signed=(signed-aligned.exe signed-padded.exe signed-twice.exe)

# ---- lmpack and osslsigncode read the signed files ----
"$lmpack" list setup.exe > list-setup.exe.txt || fail "lmpack list setup.exe"
"$lmpack" list other.exe > list-other.exe.txt || fail "lmpack list other.exe"
for file in "${signed[@]}"; do
  [ "$(size_of "$file")" -gt "$(size_of setup.exe)" ] || fail "$file is not longer than the unsigned setup"
  unsigned=$([ "$file" = signed-aligned.exe ] && echo "$aligned" || echo "$unaligned")
  if "$lmpack" list "$file" > "list-$file.txt"; then
    cmp -s "list-$file.txt" "list-$unsigned.txt" || fail "lmpack list $file differs from the unsigned file's"
  else
    fail "lmpack list $file exits $?"
  fi
  "$lmpack" verify "$file" >/dev/null || fail "lmpack verify $file exits $?"
  grep -qE '^integrity record: CRC-32 0x[0-9A-F]{8} of [0-9]+ bytes, matches$' "list-$file.txt" ||
    fail "lmpack list $file shows no matching integrity record"
  if "$lmpack" extract --quiet "$file" "extract-${file%.exe}"; then
    diff -r app "extract-${file%.exe}" >/dev/null || fail "lmpack extract $file does not give back the folder"
  else
    fail "lmpack extract $file exits $?"
  fi
  osslsigncode verify -CAfile cert.pem -in "$file" > "verify-$file.txt" 2>&1 ||
    fail "osslsigncode verify $file: $(tail -n 3 "verify-$file.txt")"
done
# A signed launcher is no stub: its certificate table would stand in front
# of the payload.
"$lmpack" pack --quiet --target "$(windows_target)" --stub signed-aligned.exe --run probe.exe -o from-signed.exe app 2>/dev/null
[ $? -eq 1 ] || fail "lmpack packs behind a signed launcher"
[ ! -e from-signed.exe ] || fail "lmpack left from-signed.exe behind"
grep -q "Number of verified signatures: 2" verify-signed-twice.exe.txt ||
  fail "signed-twice.exe does not hold two verified signatures"

# The signature covers the payload: one changed byte in its compressed data
# breaks it, and lmpack verify sees the damage too.
cp signed-padded.exe tampered.exe
offset=$(( $(size_of "$unaligned") - 100 ))
byte=$(od -An -tu1 -j "$offset" -N1 tampered.exe | tr -d ' ')
printf "$(printf '\\%03o' $(( byte ^ 0x55 )))" | dd of=tampered.exe bs=1 seek="$offset" conv=notrunc 2>/dev/null
cmp -s tampered.exe signed-padded.exe && fail "tampered.exe was not changed"
osslsigncode verify -CAfile cert.pem -in tampered.exe >/dev/null 2>&1 && fail "osslsigncode verify accepts a changed payload"
"$lmpack" verify tampered.exe >/dev/null 2>&1 && fail "lmpack verify accepts a changed payload"

# ---- the setups run under Wine ----
run() {  # SETUP: runs it from a fresh directory with a fresh temp directory
  local name=${1%.exe}
  mkdir -p "run-$name" "run-$name/Temp Dir"
  cp "$1" "run-$name/$1"
  local temp
  temp=$(windows_path "$scratch/run-$name/Temp Dir")
  (cd "run-$name" && bash "$wine_run" cmd /c "set TEMP=$temp&& set TMP=$temp&& $1")
}
check_run() {  # SETUP CODE
  local name=${1%.exe} report="run-${1%.exe}/probe-report.txt"
  [ "$2" -eq 42 ] || fail "$1 exits $2, not the program's 42"
  [ -f "$report" ] || { fail "$1 did not start its program"; return; }
  grep -E '^(file|dir)=' "$report" | sort > "files-$name.txt"
  grep -qF "self=$(windows_path "$scratch/run-$name/Temp Dir")\\" "$report" ||
    fail "$1 did not unpack into its temp directory: $(grep '^self=' "$report")"
  [ -z "$(ls -A "run-$name/Temp Dir")" ] || fail "$1 left $(ls -A "run-$name/Temp Dir") in the temp directory"
}

run "$aligned"
check_run "$aligned" $?
reference="files-${aligned%.exe}.txt"
for entry in probe.exe exitcode.txt data/numbers.txt "data/sub/read me.txt" data/zero.bin; do
  grep -qF "file=${entry//\//\\}|$(size_of "app/$entry")|" "$reference" || fail "the unsigned setup did not unpack $entry"
done
grep -qx 'dir=empty' "$reference" || fail "the unsigned setup did not make the empty directory"
for file in "${signed[@]}"; do
  run "$file"
  check_run "$file" $?
  cmp -s "files-${file%.exe}.txt" "$reference" || fail "$file unpacked other files than the unsigned setup"
done

finish "signed setups: all checks passed"
