#!/usr/bin/env bash
# Configures and builds one flavour of the tree into build/<flavour>:
#   release   optimised, warnings as errors (tests, benchmarks, the programs)
#   sanitize  AddressSanitizer + UndefinedBehaviorSanitizer (tests only)
#   fuzz      clang with libFuzzer (fuzz targets only)
set -euo pipefail
flavour=${1:-release}
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build/$flavour"

case "$flavour" in
  release)  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOX_WERROR=ON) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DNOX_SANITIZE=ON
                  -DNOX_BUILD_BENCH=OFF -DNOX_WERROR=ON) ;;
  fuzz)     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DNOX_BUILD_FUZZ=ON
                  -DNOX_BUILD_WINDOWS=OFF
                  -DNOX_BUILD_TESTS=OFF -DNOX_BUILD_BENCH=OFF) ;;
  *) echo "build.sh: unknown flavour '$flavour' (release, sanitize, fuzz)" >&2; exit 2 ;;
esac

if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$dir" -- -j"$(nproc)" --quiet
