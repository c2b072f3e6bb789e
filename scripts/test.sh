#!/usr/bin/env bash
# Sets the machine up, builds every preset and runs every test: natively,
# under AddressSanitizer and UndefinedBehaviorSanitizer, and as 32-bit
# Windows programs under Wine; then fuzzes each libFuzzer target for 30 s
# (scripts/fuzz.sh). Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh || exit 1

failed=()
# The house style: clang-format leaves every source as it stands.
echo "== style: clang-format"
git ls-files '*.h' '*.cc' '*.c' | xargs clang-format --dry-run --Werror || failed+=(style)

# Both Windows launchers ship: the 32-bit build runs the Windows tests
# under Wine where this machine runs 32-bit code, the 64-bit build
# elsewhere; the other one's image is checked without Wine.
windows=$(bash scripts/windows-preset.sh)
presets=(native native-asan win32 win64)
# Every preset is built before any is tested: the native branding test
# brands the launchers the Windows presets built, so that the shipped 32-bit
# image is branded and checked also where no 32-bit code runs.
for preset in "${presets[@]}"; do
  if ! bash scripts/build.sh "$preset"; then
    echo "== build of $preset failed"
    exit 1
  fi
done
for preset in "${presets[@]}"; do
  if [ "$preset" = win32 ] && [ "$windows" = win64 ]; then
    echo "== test: win32, only what needs no Wine: this kernel runs no 32-bit code (IA32 emulation is off); the win64 build runs the Windows tests"
    ctest --preset win32 -L no-wine || failed+=("$preset")
    continue
  fi
  if [ "$preset" = win64 ] && [ "$windows" = win32 ]; then
    echo "== test: win64, only what needs no Wine: the win32 build runs the Windows tests"
    ctest --preset win64 -L no-wine || failed+=("$preset")
    continue
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
echo "== every test passed in ${presets[*]}, and fuzzing found nothing"
