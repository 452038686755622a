#!/usr/bin/env bash
# Builds the region engine's core and a smoke program to WebAssembly with
# Debian's emscripten, and runs the program under node; installs emscripten
# from Debian first if it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

# emscripten brings Debian's node with it where there is none.
bash scripts/install-packages.sh wasm emscripten

# Debian's emscripten runs its JavaScript tools with node and finds their
# modules in Debian's folder, which a node of another origin does not search.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

out=build/wasm
mkdir -p "$out"
# Synchronous compilation: this emscripten's loader would fetch() the .wasm
# file, which newer nodes have but cannot do for a local path.
em++ -std=c++17 -O2 -Wall -Wextra -Werror -Iengine \
  engine/region/*.cpp tests/wasm/region_smoke.cpp \
  -sENVIRONMENT=node -sWASM_ASYNC_COMPILATION=0 -sALLOW_MEMORY_GROWTH=1 \
  -o "$out/region_smoke.js"
node "$out/region_smoke.js"
echo "wasm: the region core builds with emscripten and answers right under node"
