#!/usr/bin/env bash
# lmpack pack checks the whole folder before it writes anything and names
# every problem in one run, in this system's path style; a usage error is
# one short message.
# Usage: pack_report_test.sh LMPACK LMSETUP
set -u
if [ $# -ne 2 ]; then
  echo "usage: $0 LMPACK LMSETUP" >&2
  exit 2
fi
lmpack=$1
stub=$2
source "$(dirname "${BASH_SOURCE[0]}")/../support/script_support.sh" pack-report

mkdir -p folder/sub
for name in run.exe Index.html index.html sub/A.txt sub/a.txt Readme README "ends in a dot."; do
  echo x >"folder/$name"
done
ln -s /tmp folder/link
"$lmpack" pack --stub "$stub" --target native --run run.exe -o setup folder 2>report
status=$?
[ "$status" -eq 1 ] || fail "pack exited $status, not 1"
[ ! -e setup ] || fail "pack wrote its output"
for expected in "folder/index.html: .*folder/Index.html" "folder/sub/a.txt: .*folder/sub/A.txt" \
  "folder/Readme: .*folder/README" "folder/link: symbolic links" "folder/ends in a dot.: a name Windows" \
  "5 problems; nothing was written"; do
  grep -q "^lmpack: $expected" report || fail "no line matches '$expected'"
done
[ "$(wc -l <report)" -eq 6 ] || fail "the report has $(wc -l <report) lines, not 6"
if grep -q '\\' report; then fail "a path in the report holds a backslash"; fi

"$lmpack" pack folder 2>usage
status=$?
[ "$status" -eq 2 ] || fail "a usage error exited $status, not 2"
[ "$(wc -l <usage)" -le 3 ] || fail "a usage error printed $(wc -l <usage) lines"
grep -q "^Try 'lmpack --help'.$" usage || fail "no pointer to --help"
[ -n "${LM_VERBOSE:-}" ] && cat report usage
finish "pack reports every problem at once"
