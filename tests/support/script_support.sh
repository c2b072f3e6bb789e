# Shared by the end-to-end test scripts: sourced after their arguments are
# checked. Makes a scratch folder (removed on exit) and enters it, counts
# failures, and turns host paths into the paths Windows programs see under
# Wine.
#   source script_support.sh PREFIX
scratch=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# lmpack's --target for the Windows launcher under test: the 64-bit build's
# under 64-bit Wine.
windows_target() { if [ "${LM_WINEARCH:-win32}" = win64 ]; then echo windows-x64; else echo windows; fi; }
# A path under $scratch as Windows programs under Wine see it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# Ends the script: 1 with the count of failed checks, or 0 with `$1`.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "$1"
  exit 0
}
