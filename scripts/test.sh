#!/usr/bin/env bash
# Sets the machine up, builds every preset and runs every test: natively,
# under AddressSanitizer and UndefinedBehaviorSanitizer, and as 32-bit
# Windows programs under Wine. Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh || exit 1

passed=0
failed=0
summary=()
for preset in native native-asan win32; do
  if ! bash scripts/build.sh "$preset"; then
    echo "== build of $preset failed"
    exit 1
  fi
  echo "== test: $preset"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
  if [ -z "$line" ] || [ "$status" -ne 0 ]; then
    [ -n "$line" ] || { total=0; bad=1; }
    [ "$bad" -gt 0 ] || bad=1
  fi
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  summary+=("$preset: $((total - bad)) of $total test programs passed")
done

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
echo "test programs: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
