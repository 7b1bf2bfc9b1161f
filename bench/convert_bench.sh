#!/usr/bin/env bash
# Conversion throughput, headless: a dBase source of RECORDS records (default 1,000,000; seven
# fields, about 90 bytes a record) converted by noxconv with 3 field relations, 4 formulas and the
# filter QTY > 0 into a dBase target, then into a keyed Paradox target. When GDAL is installed,
# ogr2ogr does the same mapping in SQL on the same file. Prints records per second, peak memory
# and the ratio of the two rates; a run on a tenth of the records shows that memory stays flat.
#
#   bench/convert_bench.sh [RECORDS]      BUILD=<build dir> (default build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
records=${1:-1000000}
build=${BUILD:-$root/build/release}
noxconv="$build/cli/noxconv"
make_examples="$build/examples/make_examples"
if [ ! -x "$noxconv" ] || [ ! -x "$make_examples" ]; then
  "$root/scripts/build.sh" release
fi
work="$build/convert-bench"

# Runs a command under /usr/bin/time; sets `seconds` (wall clock) and `peak_kb` (maximum RSS).
timed() {
  local log
  log=$(mktemp)
  /usr/bin/time -f '%e %M' -o "$log" "$@" >/dev/null
  read -r seconds peak_kb <"$log"
  rm -f "$log"
}

rate() {  # records seconds
  awk -v n="$1" -v s="$2" 'BEGIN { if (s <= 0) s = 0.01; printf "%.0f", n / s }'
}

generate() {  # directory count
  rm -rf "$1"
  "$make_examples" --bench "$1" "$2"
}

report() {  # label records
  printf '%-34s %9s records/s  %7.2f s  peak %6d KiB\n' "$1" "$(rate "$2" "$seconds")" "$seconds" \
    "$peak_kb"
}

echo "== generating $records source records in $work"
generate "$work" "$records"
cd "$work"

formats=(--date-format dd.mm.yyyy --decimal-separator .)
timed "$noxconv" "${formats[@]}" bench_dbf.cnv AUTO
report "noxconv -> dBase" "$records"
nox_rate=$(rate "$records" "$seconds")
nox_peak=$peak_kb

timed "$noxconv" "${formats[@]}" bench_db.cnv AUTO
report "noxconv -> keyed Paradox" "$records"

small=$((records / 10))
if [ "$small" -gt 0 ]; then
  generate "$work/small" "$small"
  (cd "$work/small" && timed "$noxconv" "${formats[@]}" bench_dbf.cnv AUTO &&
    report "noxconv -> dBase, $small records" "$small")
  echo "peak memory at $records records: $nox_peak KiB (see the line above for a tenth of them)"
fi

if command -v ogr2ogr >/dev/null; then
  sql="SELECT CODE, TRIM(NAME) AS NAME, SUBSTR(CITY,1,3)||'-'||CAST(CODE AS TEXT) AS SHORT,"
  sql+=" QTY*2 AS QTY, ROUND(PRICE*1.21,2) AS PRICE, DAY, ACTIVE FROM BSOURCE WHERE QTY > 0"
  rm -rf ogr-out
  timed ogr2ogr -f "ESRI Shapefile" ogr-out BSOURCE.DBF -dialect SQLite -sql "$sql" -nln OGROUT
  report "ogr2ogr -> dBase (same mapping)" "$records"
  gdal_rate=$(rate "$records" "$seconds")
  awk -v a="$nox_rate" -v b="$gdal_rate" \
    'BEGIN { printf "noxconv / ogr2ogr: %.1f times (target: at least 5)\n", a / b }'
else
  echo "ogr2ogr not installed: no comparison"
fi
