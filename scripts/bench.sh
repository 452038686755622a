#!/usr/bin/env bash
# Builds the region benchmark and runs it against its peers, printing the
# tables: region engine against lib2geom on round and gear-like pairs from 8
# to 8192 knots at scales 1, 100 and 10000 (medians of interleaved
# repetitions, ratios, area agreement, peak heap at 2048 and 8192 knots),
# then the icon-sized rows again beside Skia's path operations, which run as
# WebAssembly under Node (npm's canvaskit-wasm, installed into bench/skia
# on first use).
#
#   scripts/bench.sh           everything
#   scripts/bench.sh icons     only the icon-sized rows with Skia
#   scripts/bench.sh full      only the lib2geom table
#
# Results are kept in build/plain/bench-results. Times on a shared machine
# are noisy: compare ratios within one run, not times across runs.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-all}
build=build/plain
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" > /dev/null
cmake --build "$build" --target region_peer_bench -j 2
bench=$build/bench/region_peer_bench
out=$build/bench-results
mkdir -p "$out"

if [ "$mode" = all ] || [ "$mode" = full ]; then
  echo "== region engine and lib2geom =="
  "$bench" | tee "$out/region_peer.txt" | sed -n '/^Median processor time/,$p'
fi

if [ "$mode" = all ] || [ "$mode" = icons ]; then
  echo
  echo "== icon-sized rows: region engine, lib2geom and Skia (WebAssembly) =="
  "$bench" --rows=icons --benchmark_out="$out/icons.json" --benchmark_out_format=json \
    > "$out/icons.txt"
  "$bench" --dump-rows="$out/rows.json"
  skia="$out/skia.jsonl"
  rm -f "$skia"
  if command -v node > /dev/null && command -v npm > /dev/null; then
    if [ ! -d bench/skia/node_modules/canvaskit-wasm ]; then
      (cd bench/skia && npm install --no-audit --no-fund --silent)
    fi
    node bench/skia/pathops.mjs "$out/rows.json" 5 > "$skia"
  else
    echo "node and npm are not installed: the Skia column is left empty"
  fi
  python3 - "$out/icons.json" "$skia" << 'EOF'
import json, os, re, sys

icons, skia_file = sys.argv[1], sys.argv[2]
families = ["round", "gear"]
ops = ["union", "inter", "a-b", "b-a"]
times = {}
for b in json.load(open(icons))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    m = re.match(r"(BM_\w+)/family:(\d+)/knots:(\d+)/scale:(\d+)/op:(\d+)", b["run_name"])
    if not m:
        continue
    impl, f, n, s, op = m.group(1), int(m.group(2)), int(m.group(3)), int(m.group(4)), int(m.group(5))
    times.setdefault((families[f], n, s, ops[op]), {})[impl] = b["cpu_time"]
skia = {}
if os.path.exists(skia_file):
    for line in open(skia_file):
        r = json.loads(line)
        skia[(r["family"], r["knots"], r["scale"], r["op"])] = r

def fmt(v):
    return "-" if v is None else "%.1f" % v

def ratio(a, b):
    return "-" if a is None or b is None or b <= 0 else "%.2f" % (a / b)

print("Median processor time (us); ratios are peer / region engine (above 1: the region engine is faster)")
print("Skia runs as WebAssembly in Node (canvaskit-wasm), in single precision; 'skia area' is the")
print("relative difference of its answer's area from the region engine's")
print("%-6s %6s %6s %-6s %10s %10s %10s %8s %8s %10s" % ("family", "knots", "scale", "op", "region",
      "lib2geom", "skia", "2geom/r", "skia/r", "skia area"))
for key in sorted(times, key=lambda k: (families.index(k[0]), k[1], k[2], ops.index(k[3]))):
    t = times[key]
    region, peer = t.get("BM_Region"), t.get("BM_Lib2geom")
    s = skia.get(key)
    sk = s["skia_us"] if s else None
    area = "%.1e" % s["area"] if s and s["area"] == s["area"] else "-"
    print("%-6s %6d %6d %-6s %10s %10s %10s %8s %8s %10s" % (key[0], key[1], key[2], key[3],
          fmt(region), fmt(peer), fmt(sk), ratio(peer, region), ratio(sk, region), area))
EOF
fi
