#!/usr/bin/env bash
# Sets up, builds, and pictures the desktop program's windows on the bundled example under a
# virtual X display: docs/main-window.png, docs/formula-editor.png, docs/options-dialog.png,
# docs/conversion-window.png and docs/calculator.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release

# The example's tables are converted into a copy, never in place.
run="$root/build/screenshot-run"
rm -rf "$run"
mkdir -p "$run"
cp "$root"/examples/*.DB "$root"/examples/*.PX "$root"/examples/*.DBF "$root"/examples/*.cnv "$run"/
cd "$run"

export NOX_DATE_FORMAT=dd.mm.yyyy NOX_DECIMAL_SEPARATOR=.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  env QT_QPA_PLATFORM=xcb "$root/build/release/tools/noxscreenshots" "$root/docs" customers.cnv
