#!/usr/bin/env bash
# Sets up, builds and runs the tool on the bundled example: shows the example source table's
# structure and records, and evaluates a formula against its first record.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
noxconv="$root/build/release/app/noxconv"
example="$root/examples/CUSTOMER.DBF"

echo "== noxconv --info $example"
"$noxconv" --info "$example"
echo "== noxconv --dump $example"
"$noxconv" --dump "$example"
echo "== noxconv --eval \"PADL(ALLTRIM(NAME),12,'.')+' '+LATV(CITY)\" --source $example"
"$noxconv" --eval "PADL(ALLTRIM(NAME),12,'.')+' '+LATV(CITY)" --source "$example"
