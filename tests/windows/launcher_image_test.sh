#!/usr/bin/env bash
# The Windows launcher's image, read from its bytes: what Wine does not
# check. It must be a 32-bit GUI program that imports only KERNEL32.dll and
# msvcrt.dll, with an icon group of three images and a manifest asking to
# run asInvoker without uiAccess (without it, Windows' installer detection
# would ask to elevate a program named setup.exe). It must also be built
# without libstdc++'s verbose terminate handler and the demangler it links
# (launcher/terminate_win32.cc replaces the handler; this check notices when
# a changed toolchain brings them back).
#
# Usage: launcher_image_test.sh OBJDUMP WINDRES LMSETUP_EXE
set -u
if [ $# -ne 3 ]; then
  echo "usage: $0 OBJDUMP WINDRES LMSETUP_EXE" >&2
  exit 2
fi
objdump=$1 windres=$2 exe=$3
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump cannot read $exe"; exit 1; }
grep -Eq '^Magic[[:space:]]+010b' <<<"$headers" || fail "not a PE32 image"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI-subsystem program"
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "imports $imports"

# Texts that only libstdc++'s verbose terminate handler and its demangler
# hold.
for text in 'terminate called after throwing an instance of' '(anonymous namespace)'; do
  if LC_ALL=C grep -Fqa "$text" "$exe"; then fail "holds \"$text\": libstdc++'s verbose terminate handler is linked"; fi
done

resources=$("$windres" -i "$exe" -O rc) || { echo "FAIL: $windres cannot read the resources of $exe"; exit 1; }
[ "$(grep -c '/\* RT_ICON \*/' <<<"$resources")" -eq 3 ] || fail "the icon images are not three"
[ "$(grep -c '/\* RT_GROUP_ICON \*/' <<<"$resources")" -eq 1 ] || fail "no single icon group"
grep -q 'requestedExecutionLevel level=""asInvoker"" uiAccess=""false""' <<<"$resources" ||
  fail "the manifest does not ask for asInvoker without uiAccess"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "launcher image: all checks passed"
