#!/usr/bin/env bash
# Installs a build of Carvex into a fresh folder, then builds the example
# consumer (examples/consumer) against that folder alone, once through the
# CMake package and once through pkg-config, and runs both on two squares;
# the installed Python module answers the same.
# Usage: scripts/consumer.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
# The consumer sees the installed tree only: a copy of its own folder, and
# nothing of the source tree on any path.
cp -r "$root/examples/consumer" "$work/src"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$work/build" >/dev/null
if grep -q -- "$root" "$work/build/compile_commands.json"; then
    echo "consumer: the build reaches into the source tree:" >&2
    grep -o -- "-I[^ ]*$root[^ ]*" "$work/build/compile_commands.json" >&2 || true
    exit 1
fi

pcdir=$(dirname "$(find "$work/prefix" -name carvex.pc)")
# shellcheck disable=SC2046
g++ -std=c++17 -fPIC -o "$work/unite-pc" "$work/src/unite.cpp" \
    $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs carvex)

fixtures=$root/tests/fixtures
for program in "$work/build/unite" "$work/unite-pc"; do
    rm -f "$work/out.svg"
    report=$("$program" "$fixtures/square_a.svg" "$fixtures/square_b.svg" "$work/out.svg")
    # Two 2-by-2 squares overlapping in a 1-by-1 square.
    if ! python3 -c 'import sys; n, a = sys.argv[1], float(sys.argv[2]); sys.exit(not (n == "1" and abs(a - 7) < 1e-9))' \
        "$(echo "$report" | awk '{print $1}')" "$(echo "$report" | awk '{print $4}')"; then
        echo "consumer: $program answered '$report', not one loop of area 7" >&2
        exit 1
    fi
    grep -q '<path' "$work/out.svg" || { echo "consumer: $program wrote no path" >&2; exit 1; }
done
# The Python module, when this build has one, works from the install too.
if [ -d "$work/prefix/lib/python3/dist-packages" ]; then
    (cd "$work" && PYTHONPATH="$work/prefix/lib/python3/dist-packages" /usr/bin/python3 -c '
import sys, carvex
a, b = (carvex.read(f"{sys.argv[1]}/square_{n}.svg") for n in "ab")
area = carvex.combine(a, b, carvex.Op.UNION).area
assert abs(area - 7) < 1e-9, area
assert carvex.__file__.startswith(sys.argv[2]), carvex.__file__
' "$fixtures" "$work/prefix")
fi
echo "consumer: built and ran against $work/prefix (CMake package and pkg-config): $report"
