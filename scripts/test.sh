#!/usr/bin/env bash
# Sets the machine up, builds every preset and runs every test: natively,
# under AddressSanitizer and UndefinedBehaviorSanitizer, and as 32-bit
# Windows programs under Wine; then fuzzes each libFuzzer target for 30 s
# (scripts/fuzz.sh). Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh || exit 1

failed=()
for preset in native native-asan win32; do
  if ! bash scripts/build.sh "$preset"; then
    echo "== build of $preset failed"
    exit 1
  fi
  echo "== test: $preset"
  ctest --preset "$preset" || failed+=("$preset")
done

bash scripts/fuzz.sh || failed+=(fuzz)

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "== tests failed in: ${failed[*]}"
  exit 1
fi
echo "== every test passed in native, native-asan and win32, and fuzzing found nothing"
