#!/usr/bin/env bash
# Builds and runs the engine benchmark, then prints points per second and the
# ratios against the reference loop and the one-thread fast loop, all from
# this one run, with the machine's load before and after.
#
#   scripts/bench.sh [--loaded] [benchmark arguments...]
#
# --loaded runs the same rows while one competing busy process keeps a core
# busy, as another program on a desktop would. Extra arguments go to the
# benchmark (e.g. --benchmark_filter=fern).
set -euo pipefail
cd "$(dirname "$0")/.."
loaded=0
if [ "${1:-}" = "--loaded" ]; then
  loaded=1
  shift
fi
scripts/build.sh build >/dev/null
json=$(mktemp)
busy=""
cleanup() {
  rm -f "$json"
  if [ -n "$busy" ]; then kill "$busy" 2>/dev/null || true; fi
}
trap cleanup EXIT
if [ "$loaded" = 1 ]; then
  bash -c 'while :; do :; done' &
  busy=$!
  echo "competing busy process: pid $busy"
fi
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
# Shared machines are noisy: every case runs five times, interleaved with
# the others, and the best of the five counts.
build/bin/morva_bench --benchmark_repetitions=5 --benchmark_min_time=0.3 --benchmark_enable_random_interleaving=true --benchmark_format=json \
  --benchmark_out="$json" --benchmark_out_format=json "$@" >/dev/null
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 - "$json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
# Names are scene/mode/variant, then the benchmark's own suffixes.
rate = {}
for r in runs:
    if r.get("run_type") == "aggregate":
        continue
    name = "/".join(r["name"].split("/")[:3])
    rate[name] = max(rate.get(name, 0), r["items_per_second"])
cases = list(dict.fromkeys(n.rsplit("/", 1)[0] for n in rate))
print(f"{'scene':<24}{'reference':>12}{'fast':>12}{'2 threads':>12}{'fast/ref':>10}{'2t/fast':>10}")
for case in cases:
    ref, fast, two = (rate.get(f"{case}/{k}") for k in ("reference", "fast", "fast-2-threads"))
    fmt = lambda v: f"{v / 1e6:10.1f} M" if v else f"{'-':>12}"
    ratio = lambda a, b: f"{a / b:10.2f}" if a and b else f"{'-':>10}"
    print(f"{case:<24}{fmt(ref)}{fmt(fast)}{fmt(two)}{ratio(fast, ref)}{ratio(two, fast)}")
for case in cases:
    chain, fast = rate.get(f"{case}/chain"), rate.get(f"{case}/fast")
    if chain and fast:
        print(f"{case}: the map chain alone runs {chain / 1e6:.1f} M steps/s, {chain / fast:.2f} times one thread")
for case in ("fern/colour-by-map", "fern/1920x1080-supersample-2"):
    for k, label in (("fast", "one thread"), ("fast-2-threads", "two threads")):
        base, extra = rate.get(f"fern/normal/{k}"), rate.get(f"{case}/{k}")
        if base and extra:
            print(f"{case}, {label}: {extra / 1e6:.1f} M steps/s, {base / extra:.2f} times the time of the plain fern")
print("(no exact loop runs a chain faster: the most one thread can reach, and, on a scene whose\n"
      " trajectories never coincide, any number of threads)")
PY
