#!/usr/bin/env bash
# Starts the desktop program under a virtual X display on an example project, runs the
# calculation from the Calculation menu and keeps pictures of the screen: the open model
# with its geometry window (geometry.png, and geometry-edit.png with a surface chosen and
# its properties shown) and its curve table (topology.png), the
# calculation settings and project information dialogs, the run in progress, the state
# after the run and the input data, plus the program's timing line. The geometry window
# and the input data printed to PDF become print-geometry.png and print-input-data.png
# (pdftoppm).
#   scripts/screenshots.sh [BUILD_DIR] [EXAMPLE.v3] [OUTPUT_DIR]
# Needs xvfb, xdotool, imagemagick and poppler-utils (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
example=${2:-examples/wall_on_slab.v3}
out=${3:-$build/screenshots}
program="$build/bin/vemto"
[[ -x "$program" ]] || { echo "No program at $program: build first." >&2; exit 1; }
[[ -f "$example" ]] || { echo "No example project $example." >&2; exit 1; }

mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.pdf "$out"/vemto-stderr.txt
out=$(cd "$out" && pwd)
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp "$example" "$work/"
model="$work/$(basename "$example")"

display=""
for d in $(seq 90 140); do
  if [[ ! -e /tmp/.X11-unix/X$d && ! -e /tmp/.X$d-lock ]]; then display=":$d"; break; fi
done
[[ -n "$display" ]] || { echo "No free X display number." >&2; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display" QT_QPA_PLATFORM=xcb VEMTO_UI_TIMING=1
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

shot() { import -window root "$out/$1.png"; echo "  $out/$1.png"; }
visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# The main window with every toolbar shown, at 100 % (toolbars.png) and 200 % scaling
# (toolbars-2x.png): a program start of its own on a screen of its own for each scale,
# with a fresh toolbar layout. The toolbars' context menu lists Standard, Vemto, View,
# Geometry, Boundary Conditions, Results and Coordinates; the fifth and sixth are hidden
# while the geometry window is active.
toolbar_picture() {  # $1 scale, $2 picture name
  local s=$1 d="" w
  for d in $(seq 141 190); do
    [[ ! -e /tmp/.X11-unix/X$d && ! -e /tmp/.X$d-lock ]] && break
  done
  Xvfb ":$d" -screen 0 "$((1280 * s))x$((800 * s))x24" -nolisten tcp >/dev/null 2>&1 &
  tb_xvfb=$!
  for _ in $(seq 50); do DISPLAY=":$d" xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=":$d" QT_SCALE_FACTOR=$s XDG_CONFIG_HOME="$work/config-toolbars-$s" \
    "$program" "$model" 2>>"$out/vemto-stderr.txt" &
  app_pid=$!
  w=$(DISPLAY=":$d" xdotool search --sync --onlyvisible --name "^Vemto 3.1" | head -1)
  DISPLAY=":$d" xdotool windowmove "$w" 0 0 windowsize "$w" "$((1280 * s))" "$((800 * s))"
  sleep 3.5
  for downs in "Down Down Down Down Down" "Down Down Down Down Down Down"; do
    DISPLAY=":$d" xdotool mousemove "$((1270 * s))" "$((30 * s))" click 3
    sleep 0.5
    # shellcheck disable=SC2086
    DISPLAY=":$d" xdotool key $downs Return
    sleep 0.5
  done
  DISPLAY=":$d" import -window root "$out/$2.png"
  echo "  $out/$2.png"
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  kill "$tb_xvfb" 2>/dev/null || true
  tb_xvfb=""
}
tb_xvfb=""
trap 'cleanup; [[ -n "$tb_xvfb" ]] && kill "$tb_xvfb" 2>/dev/null || true' EXIT
toolbar_picture 1 toolbars
toolbar_picture 2 toolbars-2x

"$program" "$model" 2>"$out/vemto-stderr.txt" &
app_pid=$!
main=$(xdotool search --sync --onlyvisible --name "^Vemto 3.1" | head -1)
# No window manager here: give the main window the screen itself.
xdotool windowmove "$main" 0 0 windowsize "$main" 1280 800
sleep 3.5  # the splash window closes after 3 s
echo "Pictures:"
shot 01-model-open
# The model was opened before the window had its final size: switch the geometry window
# off and on again from the Input menu, which zooms it to the extents.
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
for _ in 1 2; do xdotool key alt+i; sleep 0.3; xdotool key g; sleep 0.5; done
shot geometry
# Input > Boundary conditions: the positions of the temperature conditions with the
# condition list; then switched off again.
xdotool key alt+i; sleep 0.3; xdotool key b; sleep 1.0
shot conditions
# The history editor of the first condition in the list (a double click on its name).
conds=$(xdotool search --onlyvisible --name '^Conditions - Temperature$' 2>/dev/null | head -1 || true)
if [[ -n "$conds" ]]; then
  xdotool mousemove --window "$conds" 40 14 click --repeat 2 --delay 80 1
  sleep 1.0
  shot history
else
  echo "The condition list is not shown." >&2
fi
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
xdotool key alt+i; sleep 0.3; xdotool key b; sleep 0.5

# Input > Materials: the material view with its list window; the first material is
# chosen with the arrow key and opened in the editor with Return.
focus_main() { xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"; }
focus_main
xdotool key alt+i
sleep 0.3
xdotool key m
list=$(xdotool search --sync --onlyvisible --name "^Materials\$" | head -1)
sleep 0.5
xdotool windowfocus --sync "$list" 2>/dev/null || true
xdotool mousemove --window "$list" 60 60 click 1  # the first name
sleep 0.3
xdotool key Down Down Down  # the concrete of the wall
sleep 0.3
xdotool key Return
editor=""
for _ in $(seq 50); do
  editor=$(xdotool search --onlyvisible --name "^Material\$" 2>/dev/null | head -1 || true)
  [[ -n "$editor" ]] && break
  sleep 0.1
done
if [[ -n "$editor" ]]; then
  sleep 0.5
  xdotool mousemove --window "$editor" 192 24 click 1  # the Cement page
  sleep 0.3
  shot materials
  xdotool key Escape
  sleep 0.3
else
  echo "The material editor did not open." >&2
fi
focus_main
xdotool key alt+i
sleep 0.3
xdotool key m  # the material view closes again
sleep 0.3

focus_main() { xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"; }
wait_visible() { for _ in $(seq 50); do visible "$1" && return 0; sleep 0.1; done; return 1; }

# Topology > Curves: the curve table beside the geometry, two rows selected.
focus_main
xdotool key alt+t
sleep 0.3
xdotool key c
if wait_visible Curves; then
  table=$(xdotool search --onlyvisible --name '^Curves$' | head -1)
  xdotool windowmove "$table" 880 330
  sleep 0.3
  xdotool mousemove --window "$table" 60 42 click 1 keydown shift key Down Down keyup shift
  sleep 0.5
  shot topology
  xdotool mousemove --window "$table" 308 397 click 1  # Close
  sleep 0.3
  visible Curves && echo "The curve table did not close." >&2
else
  echo "The curve table did not open." >&2
fi

# The wall chosen by a click in the geometry view and shown in "Surface properties"
# (the last button of the Geometry toolbar); the window is taken off the screen after.
focus_main
xdotool mousemove 292 395 click 1
sleep 0.3
xdotool mousemove 194 116 click 1
if wait_visible "Surface properties"; then
  sleep 0.5
  shot geometry-edit
  xdotool search --onlyvisible --name '^Surface properties$' windowunmap 2>/dev/null || true
else
  echo "The surface-properties window did not open." >&2
fi

# Calculation > Settings, both pages, then Cancel.
focus_main
xdotool key alt+c
sleep 0.3
xdotool key s
if wait_visible "Calculation settings"; then
  sleep 0.3
  shot 05-calc-settings-general
  xdotool key ctrl+Tab
  sleep 0.3
  shot 06-calc-settings-timestep
  xdotool key Escape
  sleep 0.3
else
  echo "The calculation settings did not open." >&2
fi

# Input > Project information: a title for the printed header, then OK.
focus_main
xdotool key alt+i
sleep 0.3
xdotool key p
if wait_visible "Project information"; then
  xdotool key ctrl+a
  xdotool type --delay 5 "Wall on slab, lift 2"
  sleep 0.2
  shot 07-project-information
  xdotool key Return
  sleep 0.3
else
  echo "The project information did not open." >&2
fi

# File > Print to PDF of the geometry window, as a picture of its page.
print_pdf() {  # File > Print to PDF of the active window; its first page as $1.png
  focus_main
  xdotool key alt+f
  sleep 0.3
  xdotool key d
  if wait_visible "Print to PDF"; then
    sleep 0.3
    xdotool key ctrl+a
    xdotool type --delay 5 "$out/$1.pdf"
    xdotool key Return
    for _ in $(seq 50); do [[ -s "$out/$1.pdf" ]] && break; sleep 0.1; done
    sleep 0.5
  fi
  if [[ -s "$out/$1.pdf" ]]; then
    pdftoppm -png -r 100 -singlefile "$out/$1.pdf" "$out/$1"
    echo "  $out/$1.png"
  else
    echo "No PDF $1.pdf was written." >&2
  fi
}
print_pdf print-geometry

focus_main
xdotool key alt+c
sleep 0.3
xdotool key e
sleep 0.3
if visible Messages; then
  shot 02-model-check
  xdotool key alt+c  # Continue (its mnemonic)
fi

frame=0
for _ in $(seq 600); do
  if visible "Vemto Engine"; then
    frame=$((frame + 1))
    shot "$(printf '03-run-%02d' "$frame")"
    [[ $frame -ge 8 ]] && break
    sleep 0.2
  elif [[ $frame -gt 0 ]]; then
    break
  else
    sleep 0.05
  fi
done
for _ in $(seq 1200); do visible "Vemto Engine" || break; sleep 0.1; done
sleep 0.5
shot 04-after-run

# Input > Input data: the listing the mesher wrote.
xdotool key Return || true
sleep 0.3
focus_main
xdotool key alt+i
sleep 0.3
xdotool key d
sleep 1
shot 08-input-data
print_pdf print-input-data

# Dismiss a message of the run, then show the results: the temperature at 48 h (the
# fourth stored time of the wall-on-slab example) and the temperature history.
xdotool key Return || true
sleep 0.3
xdotool windowfocus --sync "$main" 2>/dev/null || true
# Without a window manager the keyboard focus is not given back after the run: click
# the Results menu (the sixth title of the menu bar) instead.
xdotool mousemove --window "$main" 300 8 click 1
sleep 0.3
xdotool key s
sleep 1.0
for _ in 1 2 3; do xdotool key ctrl+bracketright; sleep 0.3; done
sleep 0.5
shot result-temperature
xdotool key ctrl+shift+h
sleep 1.0
shot result-history
xdotool windowactivate --sync "$main" 2>/dev/null || true

# The cement guide (File > Create cement type...): fit Lambda-1, Kappa-1, t-1 and Wc0 to the
# two example box records and keep the results page with its chart. Positions are those of
# the guide's fixed layout.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool mousemove 19 8 click 1  # the File menu (a document window may hold the keyboard)
sleep 0.4
xdotool key t
guide=$(xdotool search --sync --onlyvisible --name "^Create heat development parameters\$" | head -1)
sleep 0.5
xdotool key Return  # Next: parameters
sleep 0.3
xdotool mousemove --window "$guide" 205 134 click 1  # Lambda-1, Kappa-1, t-1, Wc0
sleep 0.2
xdotool key Return  # concrete properties
sleep 0.3
xdotool key Return  # input files
sleep 0.3
for record in box_20C box_12C; do
  xdotool mousemove --window "$guide" 910 83 click 1  # Add...
  chooser=$(xdotool search --sync --onlyvisible --name "^Select input file\$" | head -1)
  sleep 0.5
  xdotool mousemove --window "$chooser" 310 357 click 1  # the file name field
  sleep 0.2
  xdotool type --delay 5 "$PWD/examples/heat/$record.txt"
  sleep 0.2
  xdotool key Return
  sleep 0.5
done
xdotool mousemove --window "$guide" 830 537 click 1  # Next: the fit runs
sleep 3
import -window "$guide" "$out/cement-guide.png"
echo "  $out/cement-guide.png"
xdotool key Escape
sleep 0.3

# Leave through File > Exit without saving.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool mousemove 19 8 click 1  # the File menu
sleep 0.4
xdotool key x
sleep 0.5
xdotool key alt+n || true
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "The program did not end through File > Exit." >&2
else
  app_pid=""
fi
echo "Program messages:"
cat "$out/vemto-stderr.txt" | grep -v -e '^QStandardPaths' || true
[[ $frame -gt 0 ]] || echo "The run ended before a picture of it could be taken." >&2
