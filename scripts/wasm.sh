#!/usr/bin/env bash
# Builds the region engine's core and a smoke program to WebAssembly with
# Debian's emscripten, and runs the program under node. Installs emscripten
# (and node, when there is none) from Debian first if they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v em++ >/dev/null || missing+=(emscripten)
command -v node >/dev/null || missing+=(nodejs)
if [ ${#missing[@]} -gt 0 ]; then
  echo "wasm: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

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
