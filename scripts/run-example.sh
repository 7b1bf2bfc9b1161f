#!/usr/bin/env bash
# Sets up, builds and converts the bundled example: copies examples/ to build/example-run/ (a run
# changes its target tables, and the repository stays as it is), runs both descriptions there
# unattended and shows the targets' records.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
noxconv="$root/build/release/cli/noxconv"
run="$root/build/example-run"

rm -rf "$run"
mkdir -p "$run"
cp "$root"/examples/*.DB "$root"/examples/*.PX "$root"/examples/*.DBF "$root"/examples/*.cnv "$run/"
# The descriptions name their tables without a directory: they are found in the current one.
cd "$run"

# Pinned formats, so that the dates the formulas write read the same on every machine.
formats=(--date-format dd.mm.yyyy --decimal-separator .)
for description in customers.cnv orders.cnv; do
  echo "== noxconv $description AUTO"
  "$noxconv" "${formats[@]}" "$description" AUTO
done
echo "== noxconv --dump CLIENTS.DB"
"$noxconv" --dump CLIENTS.DB
echo "== noxconv --dump CLIENTKV.DB (records CLIENTS.DB refused: their codes were taken)"
"$noxconv" --dump CLIENTKV.DB
echo "== noxconv --dump ORDSUM.DBF"
"$noxconv" --dump ORDSUM.DBF
