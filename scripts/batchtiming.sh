#!/usr/bin/env bash
# Times N icon-sized jobs (default 1000) run by one carvex process on every
# core (carvex --jobs) against the same jobs as N separate carvex runs, one
# after the other and as many at a time as there are cores. The jobs'
# notes (pairs the per-pair engine leaves alone) are not shown.
# Usage: scripts/batchtiming.sh BUILD_DIR [N]
set -euo pipefail
carvex=$(cd "$1" && pwd)/cli/carvex
count=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir icons out

# Icons on a 24-unit grid: stars, rounded squares and rings of a few dozen
# knots, each with a circle or a bar as operand.
/usr/bin/python3 - "$count" <<'PY'
import math, random, sys
count = int(sys.argv[1])
rng = random.Random(7)
K = 0.5522847498307936

def circle(cx, cy, r):
    k = K * r
    return (f"M {cx + r} {cy} C {cx + r} {cy + k} {cx + k} {cy + r} {cx} {cy + r} "
            f"C {cx - k} {cy + r} {cx - r} {cy + k} {cx - r} {cy} "
            f"C {cx - r} {cy - k} {cx - k} {cy - r} {cx} {cy - r} "
            f"C {cx + k} {cy - r} {cx + r} {cy - k} {cx + r} {cy} Z")

def star(points, r0, r1, phase):
    pts = []
    for i in range(2 * points):
        a = math.pi * i / points + phase
        r = r0 if i % 2 == 0 else r1
        pts.append(f"{12 + r * math.cos(a):.4f} {12 + r * math.sin(a):.4f}")
    return "M " + " L ".join(pts) + " Z"

def rounded(x, y, w, h, r):
    k = r * (1 - K)
    return (f"M {x + r} {y} H {x + w - r} C {x + w - k} {y} {x + w} {y + k} {x + w} {y + r} "
            f"V {y + h - r} C {x + w} {y + h - k} {x + w - k} {y + h} {x + w - r} {y + h} "
            f"H {x + r} C {x + k} {y + h} {x} {y + h - k} {x} {y + h - r} "
            f"V {y + r} C {x} {y + k} {x + k} {y} {x + r} {y} Z")

def svg(d):
    return f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="{d}"/></svg>\n'

with open("jobs.txt", "w") as jobs:
    for i in range(count):
        kind = i % 3
        if kind == 0:
            icon = star(rng.randint(5, 12), rng.uniform(9, 11), rng.uniform(4, 7), rng.random())
        elif kind == 1:
            icon = rounded(2, 3, 20, 18, rng.uniform(2, 6))
        else:
            icon = circle(12, 12, rng.uniform(8, 10))
        operand = (circle(rng.uniform(8, 16), rng.uniform(8, 16), rng.uniform(3, 6)) if i % 2
                   else rounded(rng.uniform(0, 6), rng.uniform(9, 11), 16, 4, 1.5))
        open(f"icons/{i}.svg", "w").write(svg(icon))
        open(f"icons/{i}-op.svg", "w").write(svg(operand))
        op = ("union", "intersect", "subtr_a", "subtr_b")[i % 4]
        jobs.write(f"icons/{i}.svg {op} icons/{i}-op.svg -o out/{i}.svg\n")
PY

seconds() { /usr/bin/python3 -c 'import time; print(f"{time.perf_counter():.6f}")'; }
report() { awk -v a="$2" -v b="$3" -v n="$count" -v what="$1" \
    'BEGIN { t = b - a; printf "%-40s %8.2f s  %7.2f ms per job\n", what, t, 1000 * t / n }'; }

cores=$(nproc)
start=$(seconds); "$carvex" --jobs jobs.txt --threads "$cores" 2>/dev/null || true; end=$(seconds)
report "one process, --threads $cores" "$start" "$end"
ls out | wc -l | awk '{ print "  answers written: " $1 }'
rm -f out/*
start=$(seconds); "$carvex" --jobs jobs.txt --threads 1 2>/dev/null || true; end=$(seconds)
report "one process, --threads 1" "$start" "$end"
rm -f out/*
start=$(seconds)
while IFS= read -r line; do
    # shellcheck disable=SC2086
    "$carvex" $line 2>/dev/null || true
done < jobs.txt
end=$(seconds)
report "$count separate runs, one at a time" "$start" "$end"
rm -f out/*
start=$(seconds)
# shellcheck disable=SC2016
xargs -P "$cores" -L 1 -a jobs.txt "$carvex" 2>/dev/null || true
end=$(seconds)
report "$count separate runs, $cores at a time" "$start" "$end"
