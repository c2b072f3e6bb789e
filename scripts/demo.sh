#!/usr/bin/env bash
# The main job: sets the machine up, builds both platforms, packs the
# bundled example folder into one Windows setup executable and runs it
# under Wine, then shows what happened.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
top=$PWD

bash scripts/setup.sh
# The shipped launcher is the 32-bit build; a kernel that runs no 32-bit code
# runs the same sources' 64-bit build instead.
windows=$(bash scripts/windows-preset.sh)
[ "$windows" = win32 ] || echo "== this kernel runs no 32-bit code: the example uses the 64-bit Windows build"
bash scripts/build.sh native "$windows"
native_dir=$(bash scripts/preset-dir.sh native)
windows_dir=$(bash scripts/preset-dir.sh "$windows")

work="$native_dir/../example"
rm -rf "$work"
mkdir -p "$work/app" "$work/run"
cp -R examples/hello/files/. "$work/app/"
cp "$windows_dir/bin/hello.exe" "$work/app/hello.exe"

echo
echo "== packing examples/hello into build/example/setup.exe"
target=windows
[ "$windows" = win32 ] || target=windows-x64
"$native_dir/bin/lmpack" pack --target "$target" --stub "$windows_dir/bin/lmsetup.exe" --run hello.exe -o "$work/setup.exe" "$work/app"
"$native_dir/bin/lmpack" list "$work/setup.exe"

echo
echo "== running setup.exe under Wine (current directory build/example/run)"
export LM_WINEPREFIX="$windows_dir/.wine" LM_WINEARCH=$windows
set +e
(cd "$work/run" && "$top/scripts/wine-run.sh" ../setup.exe)
code=$?
set -e

echo
echo "== what the program found (build/example/run/hello-report.txt)"
cat "$work/run/hello-report.txt"
echo
echo "== exit code of setup.exe: $code"
windir=$(sed -n 's/^working directory: //p' "$work/run/hello-report.txt" | tr -d '\r')
unixdir=$("$top/scripts/wine-run.sh" winepath -u "$windir" 2>/dev/null | tr -d '\r' || true)
if [ -n "$unixdir" ] && [ ! -e "$unixdir" ]; then
  echo "== the working directory $windir is gone"
else
  echo "== the working directory $windir is still there"
  exit 1
fi
exit "$code"
