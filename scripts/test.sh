#!/usr/bin/env bash
# Sets up, builds and runs every test: once in the optimised build, once under AddressSanitizer
# and UndefinedBehaviorSanitizer, then each fuzz target for a short bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/check-layers.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for flavour in release sanitize; do
  echo "== $flavour build"
  "$root/scripts/build.sh" "$flavour"
  echo "== $flavour tests"
  ctest --test-dir "$root/build/$flavour" -j"$(nproc)" --output-on-failure --timeout 600
done

"$root/scripts/fuzz.sh" "${NOX_FUZZ_SECONDS:-20}"
