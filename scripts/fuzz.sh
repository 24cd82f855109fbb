#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UBSan) and runs
# each from the seed corpus for a bounded time. Fails on a crash, a leak, a
# timeout or memory beyond the limit.
#
#   scripts/fuzz.sh [seconds per target] [target...]
#
# Default: 15 seconds for each of the four targets. Run from the repository
# root. New inputs the fuzzer finds go to build-fuzz/corpus-work/<target>,
# never into the seed corpus; findings go to build-fuzz/findings/.
set -euo pipefail

seconds=${1:-15}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(scan_text format_double read_line run)
fi

root=$(pwd)
build=${KAVRO_FUZZ_BUILD:-$root/build-fuzz}
# Several copies running at once (one target each) must not relink a
# target another is running: build once, then set KAVRO_FUZZ_SKIP_BUILD=1.
if [ -z "${KAVRO_FUZZ_SKIP_BUILD:-}" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKAVRO_FUZZ=ON -DKAVRO_SANITIZE=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build "$build" -j2 --target kavro_fuzz
fi

# The longest input worth trying for each target.
max_len() {
  case $1 in
    format_double) echo 64 ;;
    scan_text) echo 4096 ;;
    read_line) echo 8192 ;;
    run) echo 16384 ;;
  esac
}

export LD_LIBRARY_PATH="$build/tests/double${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
  work="$build/corpus-work/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" "$work" "$root/tests/fuzz/corpus/$target" \
      -max_total_time="$seconds" -max_len="$(max_len "$target")" \
      -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
      -artifact_prefix="$findings/" -print_final_stats=1 2>"$build/fuzz-$target.log"; then
    echo "fuzz_$target FAILED; see $build/fuzz-$target.log and $findings/" >&2
    grep -E "ERROR|expectation failed|SUMMARY" "$build/fuzz-$target.log" >&2 || true
    status=1
  else
    grep -E "stat::number_of_executed_units|Done " "$build/fuzz-$target.log" || true
  fi
done
exit $status
