#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite; fails on any failing test and on any sanitizer
# report (each report aborts the test that met it).
#
#   scripts/sanitize.sh          (from the repository root)
#
# The build goes to build-asan (KAVRO_ASAN_BUILD to change it).
set -euo pipefail

root=$(pwd)
build=${KAVRO_ASAN_BUILD:-$root/build-asan}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRO_SANITIZE=ON >/dev/null
cmake --build "$build" -j2

# Every report is fatal; leaks count. The tests that drop root's rights in a
# child, fork and kill children are fine under these options.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}

# Left to the plain test run: the GDAL check of the shipped list, which runs
# ogrinfo once per record (minutes under the sanitizers for nothing they
# could find in our code), and the install tree check, whose programs are
# built without the sanitizers' runtime and cannot load a sanitized library.
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 \
  -E '^(ShippedList\.GdalReadsEachClauseAsTheSystemOfItsLabel|InstallTree)$'
