#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each in turn.
#
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# TARGET is pathdata, svg, json, boolean, region or nearcopy (default: all six). The default
# of 15 seconds a target is the bounded run of CI; a long run is, e.g.,
#   bash scripts/fuzz.sh 3600 boolean
# Each target starts from its checked-in seeds (fuzz/corpus/TARGET, never
# written to) and grows a work corpus in build/fuzz/corpus/TARGET, which
# later runs go on from. Any crash, hang (an input running longer than the
# target's timeout), leak, memory blow-up or sanitizer report stops the run;
# the input is saved in build/fuzz/findings/TARGET/ and the script fails.
# Replay one with: build/fuzz/fuzz/fuzz_TARGET FILE
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-15}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pathdata svg json boolean region nearcopy)
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "fuzz: SECONDS_PER_TARGET must be a positive whole number, not '$seconds'" >&2
  exit 1
fi

bash scripts/setup.sh
# clang's fuzzer and sanitizer runtimes come with libclang-rt-14-dev.
bash scripts/install-packages.sh fuzz clang libclang-rt-14-dev

build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCARVEX_FUZZ=ON -DCARVEX_BUILD_TESTS=OFF -DCARVEX_BUILD_BENCH=OFF >/dev/null
# Only the targets and what they link, not the rest of the tree.
cmake --build "$build" -j 2 --target fuzz_all

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for target in "${targets[@]}"; do
  case "$target" in
    pathdata | svg | json) timeout=30 max_len=4096 ;;
    boolean) timeout=600 max_len=16384 ;;
    region) timeout=60 max_len=16384 ;;
    # Seven bytes make a case; its five operations on a stack of fifty
    # copies take up to two and a half minutes under the sanitizers.
    nearcopy) timeout=600 max_len=16 ;;
    *)
      echo "fuzz: unknown target '$target' (use pathdata, svg, json, boolean, region or nearcopy)" >&2
      exit 1
      ;;
  esac
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  echo "== fuzz_$target: $seconds s =="
  log=$build/fuzz_$target.log
  options=(-max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 -max_len="$max_len"
    -artifact_prefix="$findings/" -print_final_stats=1)
  # The text formats have dictionaries of their words.
  [ -f "fuzz/dict/$target.dict" ] && options+=(-dict="fuzz/dict/$target.dict")
  status=0
  "$build/fuzz/fuzz_$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  grep -E '^(stat::|#[0-9]+ +DONE)' "$log" || true
  echo "corpus: $(find "$corpus" -type f | wc -l) inputs, $(du -sh "$corpus" | cut -f1)"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzz_$target FAILED (exit $status); inputs in $findings, log in $log" >&2
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran $seconds s each without a finding"
