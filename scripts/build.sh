#!/usr/bin/env bash
# Configures and builds the given presets (default: native and win32).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32)
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  # CMake keeps the compilers of a build directory's first configure, even
  # when the toolchain file names others: a Windows build directory made
  # with the posix thread-model compilers is configured afresh.
  fresh=()
  if grep -q -- '-posix$' "$(bash scripts/preset-dir.sh "$preset")/CMakeCache.txt" 2>/dev/null; then fresh=(--fresh); fi
  cmake --preset "$preset" "${fresh[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
