#!/usr/bin/env bash
# The Windows launcher's image, read from its bytes: what Wine does not
# check. It must be a GUI program of the expected kind (PE32 for the
# 32-bit launcher, PE32+ for x86-64), at most 163,840 bytes, marked for
# address space layout randomisation and data execution prevention
# (DYNAMIC_BASE, NX_COMPAT), large-address-aware when it is 32-bit (4 GiB
# of address space under 64-bit Windows), that imports only KERNEL32.dll
# and msvcrt.dll and neither fseek nor ftell (msvcrt's take a 32-bit long:
# a file position beyond 2 GiB must go through fgetpos/fsetpos),
# with an icon group of three images and a manifest asking to run asInvoker
# without uiAccess (without it, Windows' installer detection
# would ask to elevate a program named setup.exe). Its last section must be
# .rsrc, which lmpack rebuilds to brand a setup.
#
# Its link map must name none of the library objects that the launcher
# keeps out on purpose: the exception runtime and libgcc's unwinder (it is
# built without exceptions; platform/memory.h), libstdc++'s operator new,
# verbose terminate handler, demangler, __throw_* functions and the string
# and exception builds they bring (launcher/runtime_overrides_win32.cc and
# platform/program_new.cc replace them), winpthreads (the
# win32 thread model links none), the guard of function-local statics and
# make_shared's mutex pool (the code avoids both). A toolchain whose
# libraries are cut otherwise brings them back, and this test says which.
# That the map lists archive members at all, as this test reads them, is
# shown by two it must name: a member of KERNEL32's import library and the
# project's launcher run.
#
# Usage: launcher_image_test.sh OBJDUMP WINDRES LMSETUP_EXE LINK_MAP PE32|PE32+
set -u
if [ $# -ne 5 ]; then
  echo "usage: $0 OBJDUMP WINDRES LMSETUP_EXE LINK_MAP PE32|PE32+" >&2
  exit 2
fi
objdump=$1 windres=$2 exe=$3 map=$4 kind=$5
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump cannot read $exe"; exit 1; }
magic=010b machine='i386,'
[ "$kind" = PE32+ ] && magic=020b machine='i386:x86-64,'
grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || fail "not a $kind image"
"$objdump" -f "$exe" | grep -q "architecture: $machine" || fail "not code for ${machine%,}"
size=$(stat -c %s "$exe")
[ "$size" -le 163840 ] || fail "$size bytes, more than 163,840"
characteristics=$(sed -n 's/^DllCharacteristics[[:space:]]*//p' <<<"$headers" | head -n 1)
(((0x$characteristics & 0x40) != 0)) || fail "not marked DYNAMIC_BASE (DllCharacteristics $characteristics)"
(((0x$characteristics & 0x100) != 0)) || fail "not marked NX_COMPAT (DllCharacteristics $characteristics)"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI-subsystem program"
if [ "$kind" = PE32 ]; then
  file_characteristics=$(sed -n 's/^Characteristics[[:space:]]*0x//p' <<<"$headers" | head -n 1)
  (((0x$file_characteristics & 0x20) != 0)) || fail "not large-address-aware (Characteristics 0x$file_characteristics)"
fi
for function in fseek ftell; do
  if grep -Eq "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$function\$" <<<"$headers"; then
    fail "imports $function (32-bit file positions)"
  fi
done
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "imports $imports"

last_section=$("$objdump" -h "$exe" | awk '$1 ~ /^[0-9]+$/ { name = $2 } END { print name }')
[ "$last_section" = .rsrc ] || fail "the last section is $last_section, not .rsrc"

[ -f "$map" ] || { echo "FAIL: no link map $map"; exit 1; }
for member in 'libkernel32.a(' 'liblm_launcher.a(launcher_run.cc'; do
  grep -Fq "$member" "$map" || fail "the link map names no $member..., so it says nothing of what is kept out"
done
for member in 'libstdc++.a(vterminate.o)' 'libstdc++.a(cp-demangle.o)' 'libstdc++.a(functexcept.o)' \
  'libstdc++.a(cow-stdexcept.o)' 'libstdc++.a(cow-string-inst.o)' 'libstdc++.a(string-inst.o)' 'libwinpthread' \
  'libstdc++.a(guard.o)' 'libstdc++.a(shared_ptr.o)' 'libstdc++.a(new_op' 'libstdc++.a(eh_' 'libgcc_eh.a('; do
  if grep -Fq "$member" "$map"; then fail "links $member"; fi
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
