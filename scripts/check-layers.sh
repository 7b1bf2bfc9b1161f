#!/usr/bin/env bash
# Checks the layering of the source folders: a folder includes only from itself and the folders
# it may use, so no include points upwards and folders never include each other in a cycle.
# The core below forms/ includes no Qt at all. The calculator's logic (calc/calc_*) is core too: the
# command line uses it, so it includes no Qt, and the command line includes nothing else of calc/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

declare -A uses=(
  [host]=""
  [tables]="host"
  [formula]="tables host"
  [convert]="formula tables host"
  [link]="host"
  [cli]="convert link calc formula tables host"
  [forms]="convert formula tables host"
  [controls]="forms convert formula tables host"
  [calc]="forms formula host"
  [desktop]="calc controls forms convert link formula tables host"
)
core="host tables formula convert link cli"

status=0
for folder in "${!uses[@]}"; do
  [ -d "$root/$folder" ] || continue
  allowed=" $folder ${uses[$folder]} "
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ -n "${uses[$target]+set}" ] || continue
    if [[ "$allowed" != *" $target "* ]]; then
      echo "layering: ${file#"$root"/}:$line includes from $target/, which $folder/ may not use" >&2
      status=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$root/$folder" || true)
  if [[ " $core " == *" $folder "* ]]; then
    while IFS= read -r hit; do
      echo "layering: ${hit#"$root"/}: the core includes no Qt" >&2
      status=1
    done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$root/$folder" || true)
  fi
done

while IFS= read -r hit; do
  echo "layering: ${hit#"$root"/}: the calculator's logic includes no Qt" >&2
  status=1
done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$root"/calc/calc_*.h \
           "$root"/calc/calc_*.cpp 2>/dev/null || true)
while IFS= read -r hit; do
  echo "layering: ${hit#"$root"/}: the command line includes only the calculator's logic" >&2
  status=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"calc/' "$root/cli" |
           grep -vE '"calc/calc_[^/"]*\.h"' || true)
exit $status
