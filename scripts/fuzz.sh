#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 20) on its seed corpus. Fails on any crash or sanitizer report.
set -euo pipefail
seconds=${1:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" fuzz
shopt -s nullglob
targets=("$root"/build/fuzz/fuzz/fuzz_*)
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds="$root/fuzz/seeds/${name#fuzz_}"
  mkdir -p "$work/corpus"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work/corpus/"
  echo "== fuzzing $name for ${seconds}s"
  if ! (cd "$work" && "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
          corpus >"$work/log" 2>&1); then
    tail -n 40 "$work/log"
    echo "fuzz: $name failed" >&2
    exit 1
  fi
  rm -rf "$work"
done
echo "fuzz: ${#targets[@]} targets ran clean"
