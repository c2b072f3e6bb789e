#!/usr/bin/env bash
# Configures and builds the given presets (default: native and win32).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32)
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
