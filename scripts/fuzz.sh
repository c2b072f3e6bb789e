#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz), makes their seed corpora from
# setups the packer writes, and fuzzes each target in turn. Exits non-zero
# when a target finds a crash, a leak, a timeout or a broken invariant; the
# input that did it is left in build/fuzz/artifacts/.
#
# Short run (what scripts/test.sh does): 30 s per target.
#   bash scripts/fuzz.sh [TARGET...]
# Long campaign: an hour per target, two processes each, at low priority:
#   FUZZ_SECONDS=3600 FUZZ_JOBS=2 nice -n 19 bash scripts/fuzz.sh
# (FUZZ_JOBS > 1 runs `-jobs=N -workers=N`; each worker logs to
# build/fuzz/artifacts/fuzz-N.log.) FUZZ_RUNS=N stops each process after N
# inputs instead (FUZZ_SECONDS then only bounds the time). The corpora in build/fuzz/corpus/<target>/
# keep what earlier runs found, so a later run starts where one stopped.
# Reproduce a finding: build/fuzz/bin/<target> build/fuzz/artifacts/crash-...
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${FUZZ_SECONDS:-30}
jobs=${FUZZ_JOBS:-1}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(payload_fuzzer pe_certificate_fuzzer bzip2_decoder_fuzzer xz_decoder_fuzzer)

echo "== build: fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

fuzz_dir=$(bash scripts/preset-dir.sh fuzz)
bin=$fuzz_dir/bin corpus=$fuzz_dir/corpus artifacts=$fuzz_dir/artifacts
# Setups behind the real launchers too, where those builds exist.
bash fuzz/make_corpus.sh "$bin/lmpack" "$corpus" "$(bash scripts/preset-dir.sh native)/bin/lmsetup" \
  "$(bash scripts/preset-dir.sh win32)/bin/lmsetup.exe"
mkdir -p "$artifacts"

failed=()
for target in "${targets[@]}"; do
  echo "== fuzz: $target for ${seconds} s"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/$target-")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="$PWD/fuzz/$target.dict")
  [ -n "${FUZZ_RUNS:-}" ] && options+=(-runs="$FUZZ_RUNS")
  case $target in
    # One kilobyte of bzip2 can describe a 900k-symbol block, whose inverse
    # transform dominates: keep inputs short and favour the quick ones.
    bzip2_decoder_fuzzer) options+=(-max_len=1024 -entropic_scale_per_exec_time=1) ;;
    # liblzma is instrumented too: small streams of several blocks reach
    # more of it per second than long ones.
    xz_decoder_fuzzer) options+=(-max_len=8192 -entropic_scale_per_exec_time=1) ;;
  esac
  if [ "$jobs" -gt 1 ]; then
    options+=(-jobs="$jobs" -workers="$jobs")
  fi
  # From the artifacts folder, where -jobs puts its fuzz-N.log files.
  if ! (cd "$artifacts" && "$bin/$target" "${options[@]}" "$corpus/$target"); then
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "== fuzzing found problems in: ${failed[*]} (inputs in $artifacts/)"
  exit 1
fi
echo "== fuzzing found nothing in: ${targets[*]}"
