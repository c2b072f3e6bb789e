#!/usr/bin/env bash
# Prints the preset whose Windows test programs this machine can run under
# Wine: win32 (the shipped 32-bit build), or win64 where the kernel runs no
# 32-bit code (Linux with IA32 emulation off), so that 32-bit Wine cannot
# start at all.
#
# The question is put to the kernel itself, so that it is answered before
# Wine is installed: a 93-byte i386 ELF program whose only instructions are
# exit(0) through int 0x80. A kernel without IA32 emulation refuses to
# start it (ENOEXEC).
#
# The probe lies in the build tree rather than the temp directory, which
# may be mounted noexec.
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mkdir -p "$top/build"
probe=$(mktemp "$top/build/probe32.XXXXXX")
trap 'rm -f "$probe"' EXIT
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'\
'\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000'\
'\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000'\
'\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010'\
'\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000'\
'\000\020\000\000\270\001\000\000\000\061\333\315\200' > "$probe"
chmod +x "$probe"
if "$probe" 2>/dev/null; then
  echo win32
else
  echo win64
fi
