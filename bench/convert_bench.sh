#!/usr/bin/env bash
# Conversion throughput, headless: a dBase source of RECORDS records (default 1,000,000; seven
# fields, about 90 bytes a record) converted by noxconv three ways: the mapping (3 field
# relations, 4 formulas, the filter QTY > 0) into dBase, a plain copy (7 field relations) into
# dBase, and the mapping into a keyed Paradox table. When GDAL is installed, ogr2ogr does the same
# work on the same file in the same run: the mapping in SQL, and the plain copy (it writes no
# Paradox, so the keyed line stands beside its mapping into dBase). Prints records per second of
# wall time and of processor time, wall and processor seconds, peak memory and the ratios in both
# times (the keyed Paradox goal: 1,000,000 records per processor second); a run on a tenth of the
# records shows that memory stays flat.
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

# Runs a command under /usr/bin/time; sets `seconds` (wall clock), `cpu` (user + system) and
# `peak_kb` (maximum RSS).
timed() {
  local log user system
  log=$(mktemp)
  /usr/bin/time -f '%e %U %S %M' -o "$log" "$@" >/dev/null
  read -r seconds user system peak_kb <"$log"
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
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
  printf '%-34s %9s records/s (%9s per cpu s)  %7.2f s (cpu %6.2f s)  peak %7d KiB\n' "$1" \
    "$(rate "$2" "$seconds")" "$(rate "$2" "$cpu")" "$seconds" "$cpu" "$peak_kb"
}

ratio() {  # label ours-wall theirs-wall ours-cpu theirs-cpu goal
  awk -v l="$1" -v a="$2" -v b="$3" -v c="$4" -v d="$5" -v g="$6" 'BEGIN {
    if (a <= 0) a = 0.01; if (c <= 0) c = 0.01
    printf "  %-32s %5.1f times ogr2ogr in wall time, %5.1f in cpu time (%s)\n",
      l, b / a, d / c, g }'
}

echo "== generating $records source records in $work"
generate "$work" "$records"
cd "$work"
have_gdal=false
command -v ogr2ogr >/dev/null && have_gdal=true

formats=(--date-format dd.mm.yyyy --decimal-separator .)
timed "$noxconv" "${formats[@]}" bench_dbf.cnv AUTO
report "noxconv mapping -> dBase" "$records"
map_seconds=$seconds
map_cpu=$cpu
map_peak=$peak_kb

timed "$noxconv" "${formats[@]}" bench_copy.cnv AUTO
report "noxconv plain copy -> dBase" "$records"
copy_seconds=$seconds
copy_cpu=$cpu

timed "$noxconv" "${formats[@]}" bench_db.cnv AUTO
report "noxconv mapping -> keyed Paradox" "$records"
keyed_seconds=$seconds
keyed_cpu=$cpu
keyed_peak=$peak_kb

if $have_gdal; then
  sql="SELECT CODE, TRIM(NAME) AS NAME, SUBSTR(CITY,1,3)||'-'||CAST(CODE AS TEXT) AS SHORT,"
  sql+=" QTY*2 AS QTY, ROUND(PRICE*1.21,2) AS PRICE, DAY, ACTIVE FROM BSOURCE WHERE QTY > 0"
  rm -rf ogr-out ogr-copy
  timed ogr2ogr -f "ESRI Shapefile" ogr-out BSOURCE.DBF -dialect SQLite -sql "$sql" -nln OGROUT
  report "ogr2ogr mapping -> dBase" "$records"
  ogr_map_seconds=$seconds
  ogr_map_cpu=$cpu
  timed ogr2ogr -f "ESRI Shapefile" ogr-copy BSOURCE.DBF -nln OGRCOPY
  report "ogr2ogr plain copy -> dBase" "$records"
  ogr_copy_seconds=$seconds
  ogr_copy_cpu=$cpu
  # On a machine shared with other work, wall time stretches with the load; processor time is
  # what the programs themselves spent, and the fair measure.
  echo "ratios (same run):"
  ratio "mapping -> dBase" "$map_seconds" "$ogr_map_seconds" "$map_cpu" "$ogr_map_cpu" \
    "goal: at least 15"
  ratio "plain copy -> dBase" "$copy_seconds" "$ogr_copy_seconds" "$copy_cpu" "$ogr_copy_cpu" \
    "goal: at least 25"
  ratio "mapping -> keyed Paradox" "$keyed_seconds" "$ogr_map_seconds" "$keyed_cpu" \
    "$ogr_map_cpu" "its goal: 1,000,000 records per cpu second"
else
  echo "ogr2ogr not installed: no comparison"
fi

small=$((records / 10))
if [ "$small" -gt 0 ]; then
  generate "$work/small" "$small"
  (cd "$work/small" && timed "$noxconv" "${formats[@]}" bench_dbf.cnv AUTO &&
    report "noxconv mapping, $small records" "$small")
  echo "peak memory of the mapping at $records records: $map_peak KiB (the line above: a tenth)"
  echo "peak memory of the keyed Paradox target at $records records: $keyed_peak KiB"
fi
