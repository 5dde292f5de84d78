#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a while.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#
# Defaults: 600 seconds and every target (fuzz_scene fuzz_palette
# fuzz_numbers fuzz_render fuzz_text fuzz_lint fuzz_ifs); 0 seconds only builds them. Each
# target starts from a scratch copy of its committed seed corpus in
# fuzz/out/corpus/<target>/, which grows from run to run; crash, timeout and
# slow inputs land in fuzz/out/artifacts/. Logs go to fuzz/out/logs/ and one
# summary line per run (executions per second, coverage, features, corpus)
# to fuzz/out/stats.log. Exits non-zero when any target reports a finding.
#
# Environment: FUZZ_NICE (19), FUZZ_TIMEOUT (seconds of wall time one input
# may take, 30), FUZZ_BUILD_DIR (build-fuzz), FUZZ_OUT (fuzz/out),
# FUZZ_CORPUS_SOURCE (fuzz/corpus), FUZZ_FRESH=1 to start from the committed
# seeds alone, FUZZ_NO_BUILD=1 to run the targets as last built (while the
# tree is being edited, for example).
#
# Reproduce a finding with: build-fuzz/fuzz/<target> <artifact>. A timeout
# of a niced run on a busy machine may be the machine: rerun the artifact.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_scene fuzz_palette fuzz_numbers fuzz_render fuzz_text fuzz_lint fuzz_ifs)
fi
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
nice_level=${FUZZ_NICE:-19}
out=${FUZZ_OUT:-fuzz/out}

# The largest input each target reads: a scene of 1024 transform lines fits
# in 24 KB; a palette is 259 short lines; numbers and texts are short fields.
max_len_of() {
  case "$1" in
    fuzz_scene | fuzz_lint | fuzz_ifs) echo 32768 ;;
    fuzz_render) echo 24576 ;;
    fuzz_palette) echo 8192 ;;
    fuzz_numbers) echo 256 ;;
    fuzz_text) echo 1024 ;;
    *) echo "unknown fuzz target: $1" >&2; exit 2 ;;
  esac
}
for target in "${targets[@]}"; do max_len_of "$target" >/dev/null; done

mkdir -p "$out/artifacts" "$out/logs" "$out/corpus"
# Two runs of this script may start together; one configures and builds.
[ "${FUZZ_NO_BUILD:-0}" = 1 ] || (
  flock 9
  if [ ! -f "$build_dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DMORVA_FUZZ=ON -DMORVA_BUILD_SDL=OFF \
      -DMORVA_BUILD_TESTS=OFF -DMORVA_BUILD_BENCH=OFF >/dev/null
  fi
  nice -n "$nice_level" cmake --build "$build_dir" --target morva_fuzzers
) 9>"$out/build.lock"

[ "$seconds" -gt 0 ] || exit 0

status=0
for target in "${targets[@]}"; do
  corpus="$out/corpus/$target"
  [ "${FUZZ_FRESH:-0}" = 1 ] && rm -rf "$corpus"
  mkdir -p "$corpus"
  cp -n "${FUZZ_CORPUS_SOURCE:-fuzz/corpus}/$target"/* "$corpus"/ 2>/dev/null || true
  log="$out/logs/$target-$(date +%Y%m%d-%H%M%S).log"
  echo "== $target: ${seconds}s, corpus $corpus, log $log"
  started=$(date +%s)
  rc=0
  dict=()
  case "$target" in fuzz_scene | fuzz_render) dict=(-dict=fuzz/scene.dict) ;; esac
  nice -n "$nice_level" "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len_of "$target")" \
    -timeout="${FUZZ_TIMEOUT:-30}" -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$out/artifacts/$target-" \
    "${dict[@]}" "$corpus" >"$log" 2>&1 || rc=$?
  elapsed=$(( $(date +%s) - started ))

  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$last")
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  result=ok
  if [ "$rc" -ne 0 ]; then
    result="FINDING (exit $rc)"
    status=1
    grep -E 'ERROR|invariant failed|runtime error|Test unit written' "$log" | head -n 8 || true
  fi
  summary="$(date -u +%FT%TZ) $target ${elapsed}s execs=${execs:-?} exec/s=${rate:-?} cov=${cov:-?} ft=${ft:-?} corp=${corp:-?} $result"
  echo "$summary"
  echo "$summary" >>"$out/stats.log"
done
exit $status
