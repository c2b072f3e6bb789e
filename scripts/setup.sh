#!/usr/bin/env bash
# Installs everything the project needs from Debian's packages, and fetches the
# bzip2 and xz-utils source packages that the Windows build compiles. Safe to run again: it
# installs only what is missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=(cmake g++ make libbz2-dev bzip2 liblzma-dev xz-utils 7zip googletest libgtest-dev
          g++-mingw-w64-i686 g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 wine
          dpkg-dev time osslsigncode openssl locales clang libclang-rt-14-dev
          msitools wixl clang-format)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# 32-bit Wine only where the kernel runs 32-bit code; elsewhere the Windows
# tests run as 64-bit programs under 64-bit Wine, and no i386 package is
# needed at all.
windows=$(bash "$here/scripts/windows-preset.sh")
if [ "$windows" = win32 ]; then
  extra=(wine32:i386)
else
  extra=(wine64)
fi
for p in "${extra[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_update=0
if [ "$windows" = win32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

# A deb-src entry so that 'apt-get source bzip2' works.
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  src_list=/etc/apt/sources.list.d/project-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$src_list" >/dev/null
  else
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/project-deb-src.list >/dev/null
  fi
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  # An index that fails to download (a mirror in mid-sync) is no reason to
  # stop: the install below fails by itself if a package cannot be found.
  $SUDO apt-get update -q || echo "setup: some package lists could not be refreshed; going on" >&2
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes a program's ANSI code page from the Unix locale, and a locale
# that is named but not installed leaves Wine's Unix file names in ASCII.
# ru_RU.UTF-8 runs Windows programs under code page 1251 and ja_JP.UTF-8
# under 932, with UTF-8 names (C.UTF-8, always present, gives 1252).
for locale in ru_RU ja_JP; do
  if ! locale -a 2>/dev/null | grep -qx "$locale.utf8"; then
    grep -qx "$locale.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null ||
      echo "$locale.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    need_locales=1
  fi
done
if [ "${need_locales:-0}" -eq 1 ]; then $SUDO locale-gen >/dev/null; fi

# The bzip2 and xz-utils sources for the Windows build live outside the
# source tree's tracked files (third_party/ is ignored by git).
src_root="$here/third_party"
fetch_source() {  # PACKAGE FILE-THAT-PROVES-IT
  if ! ls -d "$src_root"/$1-*/$2 >/dev/null 2>&1; then
    mkdir -p "$src_root"
    (cd "$src_root" && apt-get source -q --download-only "$1" >/dev/null &&
     dpkg-source --no-check -x "$1"_*.dsc >/dev/null)
  fi
  ls -d "$src_root"/$1-*/$2 >/dev/null
}
fetch_source bzip2 bzlib.c
fetch_source xz-utils src/liblzma/api/lzma.h
echo "setup: ready"
