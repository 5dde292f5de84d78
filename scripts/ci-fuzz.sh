#!/usr/bin/env bash
# The bounded fuzz runs of CI: builds the libFuzzer targets with clang and
# runs each one from the committed seed corpus for a fixed time, two at a
# time. Exits non-zero when any target reports a finding; its input is kept
# in fuzz/out/ci/artifacts/ and the log in fuzz/out/ci/logs/.
#
#   scripts/ci-fuzz.sh            # 60 seconds per target
#   FUZZ_CI_SECONDS=120 FUZZ_CI_JOBS=1 scripts/ci-fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_CI_SECONDS:-60}
jobs=${FUZZ_CI_JOBS:-2}
targets=(fuzz_render fuzz_scene fuzz_text fuzz_palette fuzz_numbers fuzz_lint fuzz_ifs)

export FUZZ_OUT=fuzz/out/ci FUZZ_FRESH=1 FUZZ_NICE=${FUZZ_NICE:-0}
rm -rf "$FUZZ_OUT"
mkdir -p "$FUZZ_OUT"
# Build once (zero seconds only builds), then run the targets in lanes.
scripts/fuzz.sh 0

lanes=()
for ((lane = 0; lane < jobs; lane++)); do lanes+=(""); done
for i in "${!targets[@]}"; do lanes[i % jobs]+="${targets[i]} "; done
pids=()
for lane in "${lanes[@]}"; do
  [ -n "$lane" ] || continue
  # shellcheck disable=SC2086 # one word per target
  scripts/fuzz.sh "$seconds" $lane &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

echo "== fuzz summary"
cat "$FUZZ_OUT/stats.log"
if [ "$status" -ne 0 ]; then
  echo "ci-fuzz: a fuzz target reported a finding; inputs in $FUZZ_OUT/artifacts/" >&2
fi
exit $status
