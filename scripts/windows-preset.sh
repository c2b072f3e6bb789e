#!/usr/bin/env bash
# Prints the preset whose Windows test programs this machine can run under
# Wine: win32 (the shipped 32-bit build), or win64 where the kernel runs no
# 32-bit code (Linux with IA32 emulation off), so that 32-bit Wine cannot
# start at all.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo win32
else
  echo win64
fi
