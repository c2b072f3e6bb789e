#!/usr/bin/env bash
# Makes the fuzz targets' seed corpora from setups the packer really writes.
#
# Usage: make_corpus.sh LMPACK OUT [NATIVE_LAUNCHER [WINDOWS_LAUNCHER]]
#   LMPACK  an lmpack program (the fuzz preset builds one)
#   OUT     the corpus root: seeds go to OUT/<target>/, beside whatever
#           earlier fuzzing added there
#   NATIVE_LAUNCHER, WINDOWS_LAUNCHER  the real launchers, where built
#
# Most setups are small on purpose, so that the fuzzer mutates payloads and
# not launchers: their stubs are a few bytes of text (native target), no
# stub at all, or a PE image of under 1 KiB built here with MinGW-w64
# (Windows target, which places the payload for signing). Each of four
# folders is packed at levels 1 and 9 with bzip2 and with xz (in blocks of
# 64 KiB, so that a folder of a few hundred KiB has several); the Windows setups are also signed
# with osslsigncode under a throwaway certificate, once, twice (a nested
# signature) and behind padding. Where the real launchers are given and
# exist, one folder is also packed behind them (the Windows one signed and
# unsigned).
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 4 ]; then
  echo "usage: $0 LMPACK OUT [NATIVE_LAUNCHER [WINDOWS_LAUNCHER]]" >&2
  exit 2
fi
lmpack=$(realpath "$1")
mkdir -p "$2"
out=$(realpath "$2")
for tool in i686-w64-mingw32-gcc osslsigncode openssl xz python3; do
  command -v "$tool" >/dev/null || { echo "make_corpus: $tool is missing (bash scripts/setup.sh)" >&2; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lmcorpus.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# Deterministic bytes: `random_bytes COUNT SEED`.
# The generators end on SIGPIPE once head has enough.
random_bytes() { { openssl enc -aes-128-ctr -nosalt -pass "pass:$2" -pbkdf2 -in /dev/zero 2>/dev/null || true; } | head -c "$1"; }

# ---- folders ----
mkdir -p one tree/app/bin tree/app/data/sub tree/app/logs tree/"read me" empty many
printf '@exit /b 0\r\n' > one/setup.cmd
printf '#!/bin/sh\necho installed\n' > tree/app/bin/run.exe
seq 1 300 > tree/app/data/numbers.txt
random_bytes 300 tree > tree/app/data/sub/noise.bin
random_bytes 70000 big | od -An -tx1 > tree/app/data/sub/hex.txt
: > tree/app/data/empty.txt
printf 'notes\n' > "tree/read me/notes.txt"
: > empty/x.exe
for i in $(seq 1 24); do printf 'file %d\n' "$i" > "many/f$i.txt"; done
mv many/f7.txt many/f7.com
mkdir -p many/d/e/f && printf 'deep\n' > many/d/e/f/deep.txt
# Launch names Windows can start, since the Windows target refuses others.
runs=(one:setup.cmd tree:app/bin/run.exe empty:x.exe many:f7.com)

# ---- stubs ----
printf '#!/bin/sh\n# stub\n' > text.stub
: > empty.stub
printf 'int start(void) { return 0; }\n' > pe.c
i686-w64-mingw32-gcc -nostdlib -e _start -s -Os -fno-asynchronous-unwind-tables \
  -Wl,--file-alignment,64 -Wl,--section-alignment,4096 pe.c -o pe.stub
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=lmsetup fuzz corpus" >/dev/null 2>&1

sign() {  # IN OUT [options]
  local in=$1 out=$2
  shift 2
  osslsigncode sign "$@" -certs cert.pem -key key.pem -in "$in" -out "$out" >/dev/null
}

# Made here, copied over the corpora at the end: lmpack overwrites nothing.
payloads=$scratch/seeds/payload_fuzzer pe=$scratch/seeds/pe_certificate_fuzzer
mkdir -p "$payloads" "$pe"

for entry in "${runs[@]}"; do
  folder=${entry%%:*} run=${entry#*:}
  for level in 1 9; do
    name=$folder-$level
    "$lmpack" pack --quiet --codec bzip2 --target native --stub text.stub --run "$run" --level "$level" -o "$payloads/$name-native" "$folder"
    "$lmpack" pack --quiet --codec bzip2 --target native --stub empty.stub --run "$run" --level "$level" -o "$payloads/$name-bare" "$folder"
    "$lmpack" pack --quiet --codec bzip2 --target windows --stub pe.stub --run "$run" --level "$level" -o "$payloads/$name-windows" "$folder"
    sign "$payloads/$name-windows" "$payloads/$name-signed"
    "$lmpack" pack --quiet --target native --stub text.stub --run "$run" --level "$level" --codec xz \
      --block-size 64K -o "$payloads/$name-xz" "$folder"
  done
  # Signed behind padding: the native target does not place the payload for signing.
  "$lmpack" pack --quiet --codec bzip2 --target native --stub pe.stub --run "$run" -o unaligned "$folder"
  sign unaligned "$payloads/$folder-signed-padded"
  sign "$payloads/$folder-1-signed" "$payloads/$folder-nested" -nest
done
native_launcher=${3:-}
windows_launcher=${4:-}
if [ -n "$native_launcher" ] && [ -x "$native_launcher" ]; then
  "$lmpack" pack --quiet --target native --stub "$native_launcher" --run setup.cmd -o "$payloads/one-lmsetup" one
fi
if [ -n "$windows_launcher" ] && [ -f "$windows_launcher" ]; then
  "$lmpack" pack --quiet --target windows --stub "$windows_launcher" --run setup.cmd -o "$payloads/one-lmsetup-exe" one
  sign "$payloads/one-lmsetup-exe" "$payloads/one-lmsetup-exe-signed"
fi
for file in "$payloads"/*-*; do "$lmpack" verify "$file" >/dev/null; done

cp pe.stub "$pe/image"
cp "$payloads"/*-windows "$payloads"/*-signed* "$payloads"/*-nested "$pe/"

# bzip2 streams of every level: empty, text, runs of one byte that cross
# block ends at level 1, random bytes, several blocks.
streams=seeds/bzip2_decoder_fuzzer
mkdir -p "$streams"
head -c 120000 /dev/urandom > random.bin
seq 1 40000 | sed "s/$/ setup launcher payload/" > text.bin
head -c 150000 /dev/zero > zeros.bin
for level in 1 2 3 4 5 6 7 8 9; do
  : | bzip2 -"$level" -c > "$streams/empty-$level.bz2"
  for kind in random text zeros; do bzip2 -"$level" -c "$kind.bin" > "$streams/$kind-$level.bz2"; done
done

# xz streams as lmpack writes them (its payloads' data, cut out with the
# trailer's help) and as xz writes them: checks, the x86 filter, several
# blocks, no blocks.
xzs=seeds/xz_decoder_fuzzer
mkdir -p "$xzs"
for setup in "$payloads"/*-xz; do
  python3 - "$setup" "$xzs/$(basename "$setup")" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
start = data.find(b'\xfd7zXZ\x00')
length = struct.unpack('<i', data[start - 4:start])[0]
open(sys.argv[2], 'wb').write(data[start:start + length])
PY
done
: | xz -c > "$xzs/empty.xz"
head -c 20000 text.bin | xz -1 --check=crc32 -c > "$xzs/text-crc32.xz"
head -c 20000 text.bin | xz -6 --check=sha256 -c > "$xzs/text-sha256.xz"
head -c 30000 random.bin | xz -c --x86 --lzma2=preset=1 > "$xzs/random-x86.xz"
head -c 200000 text.bin | xz -T2 --block-size=40000 -c > "$xzs/text-blocks.xz"
# Short ones with several blocks, within the decoder target's input limit.
head -c 6000 text.bin | xz -T2 --block-size=1500 -c > "$xzs/short-blocks.xz"
head -c 3000 random.bin | xz -T2 --block-size=1000 --x86 --lzma2=preset=0 -c > "$xzs/short-x86-blocks.xz"
head -c 50000 zeros.bin | xz -T2 --block-size=10000 --check=crc32 -c > "$xzs/short-zeros.xz"

for target in payload_fuzzer pe_certificate_fuzzer bzip2_decoder_fuzzer xz_decoder_fuzzer; do
  mkdir -p "$out/$target"
  cp "seeds/$target"/* "$out/$target/"
done
echo "make_corpus: $(ls "$payloads" | wc -l) setups, $(ls "$pe" | wc -l) PE images copied into $out"
