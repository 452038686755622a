#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs the whole
# suite twice, once plainly and once under AddressSanitizer and
# UndefinedBehaviorSanitizer with leak detection on.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)

build_and_test() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

echo "== plain build =="
build_and_test build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== sanitizer build =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
build_and_test build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCARVEX_SANITIZE=ON -DCARVEX_BUILD_BENCH=OFF
