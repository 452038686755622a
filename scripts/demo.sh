#!/usr/bin/env bash
# Builds the carvex command and runs its bundled examples: one SVG and one PNG
# per answer and a labelled overview picture, written to ./carvex-demo in the
# folder this script is started from, or to the folder given as argument.
set -euo pipefail

out=$(realpath -m "${1:-carvex-demo}")
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# The same configuration as scripts/test.sh, so the two share one build.
build=${CARVEX_BUILD_DIR:-build/plain}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target carvex -j "$(nproc)"

"$build/cli/carvex" --demo "$out"
echo
echo "demo: the files are in $out (overview.png shows every answer, each panel labelled)"
