#!/usr/bin/env bash
# Sets up, builds, and pictures the desktop program's windows on the bundled example under a
# virtual X display with a window manager: docs/main-window.png, docs/field-settings.png,
# docs/formula-editor.png, docs/options-dialog.png, docs/conversion-window.png,
# docs/table-window.png and docs/calculator.png in English, the main window in Latvian and Russian,
# docs/main-window-lv.png and docs/main-window-ru.png, and the control gallery, docs/gallery.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release

# The example's tables are converted into a copy, never in place.
run="$root/build/screenshot-run"
rm -rf "$run"
mkdir -p "$run"
cp "$root"/examples/*.DB "$root"/examples/*.PX "$root"/examples/*.DBF "$root"/examples/*.cnv \
   "$root"/examples/*.MNU "$run"/
# The shipped texts, and the language table they fill kept in the copy too, whatever engine
# configuration the user has.
cp "$root"/desktop/NoxReStr.Ini "$run"/
printf '[Engine]\n' > "$run"/noxengine.cfg
export NOX_ENGINE_CONFIG="$run/noxengine.cfg"
cd "$run"

export NOX_DATE_FORMAT=dd.mm.yyyy NOX_DECIMAL_SEPARATOR=.
export NOX_SHOTS="$root/build/release/tools/noxscreenshots" NOX_DOCS="$root/docs"
# Under a real window manager (openbox), so the pictures show the title bars a user sees.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  openbox --sm-disable &
  wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  status=0
  # Params.ini chooses the language of the interface and of the system texts (menus, hints).
  language() { printf "LANGUAGE=%s\r\nSYSLANGUAGE=%s\r\n" "$1" "$1" > Params.ini; }
  language 1
  QT_QPA_PLATFORM=xcb "$NOX_SHOTS" "$NOX_DOCS" customers.cnv || status=$?
  language 3
  QT_QPA_PLATFORM=xcb "$NOX_SHOTS" "$NOX_DOCS" customers.cnv main-window-lv.png || status=$?
  language 2
  QT_QPA_PLATFORM=xcb "$NOX_SHOTS" "$NOX_DOCS" customers.cnv main-window-ru.png || status=$?
  QT_QPA_PLATFORM=xcb "$NOX_SHOTS" "$NOX_DOCS" --gallery gallery.png || status=$?
  kill "$wm"
  exit "$status"
'
