#!/usr/bin/env bash
# Every window on the screen: on a 1366 x 768 Xvfb screen, at each Qt scale (QT_SCALE_FACTOR 1,
# 1.5 and 2), starts the program with a simulated transmitter, opens every window the way a user
# does (View menu, Help > Getting Started, Help > About, File > Import Picture and its file
# dialog) and checks with xwininfo that each lies wholly on the screen; the main window too, so
# that every control of the panel can be reached.
#   tests/e2e/screen_fit.sh [build-dir]     (default: build; scripts/test-e2e runs it)
# Builds nothing. Prints PASS or FAIL per check and exits non-zero when any failed. With
# SCREEN_FIT_SHOTS=DIR it leaves a PNG of the whole screen per scale there.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
work=$(mktemp -d "${TMPDIR:-/tmp}/velta-fit.XXXXXX")
keep_work=0
# shellcheck source=tests/e2e/x_session.sh
source tests/e2e/x_session.sh
cleanup() {
  x_stop
  if [ "$keep_work" -eq 0 ]; then rm -rf "$work"; else echo "screen-fit: kept $work"; fi
}
trap cleanup EXIT

screen_width=1366
screen_height=768
scales=(1 1.5 2)

results=()
failed=0
record() {  # name, status
  results+=("$([ "$2" -eq 0 ] && echo PASS || echo FAIL)  $1")
  [ "$2" -eq 0 ] || failed=$((failed + 1))
}

# Whether the window named (a regular expression) is visible and wholly on the screen, as the
# X server has it; says where it is either way.
on_screen() {
  local id geometry="" x y w h
  # Tried again when the window found is replaced before it is looked at (a dialog that closes).
  for _ in 1 2 3; do
    id=$(timeout 5 xdotool search --sync --onlyvisible --name "$1" | head -n 1) || true
    if [ -n "$id" ] && geometry=$(xwininfo -id "$id" 2>/dev/null | awk '
      /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
      /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }'); then
      break
    fi
    geometry=""
    sleep 0.3
  done
  [ -n "$geometry" ] || { echo "  $1: no such window" && return 1; }
  read -r x y w h <<<"$geometry"
  echo "  $1: ${w}x${h} at $x,$y"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$screen_width" ] &&
    [ $((y + h)) -le "$screen_height" ]
}

# Keys typed into the main window (its menus), after giving it the focus.
keys_to_main() {
  x_focus "$main_window"
  xdotool key --clearmodifiers "$@"
  sleep 0.5
}

command -v xwininfo >/dev/null || x_fail "xwininfo is missing (scripts/install-deps installs it)"
convert -size 64x24 xc:white -fill black -draw "rectangle 0,0 31,23" "$work/half.png"
x_screen="${screen_width}x${screen_height}x24"
x_start

# The windows opened from the main window's menus: the keys typed, the window's title. The About
# box comes last: it is modal, and Escape closes it before the import.
menu_windows=(
  "alt+v m" "^Report Monitor$"
  "alt+v q" "^Sequence$"
  "alt+v l" "^Live Input$"
  "alt+h g" "^Getting Started$"
  "alt+h v" "^About Velta Control Center$"
)

for scale in "${scales[@]}"; do
  QT_SCALE_FACTOR=$scale QT_QPA_PLATFORM=xcb "$program" --simulate >"$work/program-$scale.log" 2>&1 &
  program_pid=$!
  x_pids+=("$program_pid")
  main_window=$(x_wait_window "^Velta Control Center")
  x_wait_window "^Display Preview$" >/dev/null
  sleep 0.5
  echo "scale $scale:"
  main_status=0
  on_screen "^Velta Control Center" || main_status=1
  status=0
  on_screen "^Display Preview$" || status=1
  for ((i = 0; i < ${#menu_windows[@]}; i += 2)); do
    # shellcheck disable=SC2086 # one word per key
    keys_to_main ${menu_windows[i]}
    on_screen "${menu_windows[i + 1]}" || status=1
  done
  xdotool key Escape
  sleep 0.3
  # File > Import Picture: its file dialog, then the dialog with the picture typed into it.
  keys_to_main alt+f i
  if on_screen "^Import Picture$"; then
    xdotool key ctrl+a type --delay 5 "$work/half.png"
    xdotool key Return
    on_screen "^Import Picture - half.png$" || status=1
  else
    status=1
  fi
  sleep 0.5
  if [ -n "${SCREEN_FIT_SHOTS:-}" ]; then
    mkdir -p "$SCREEN_FIT_SHOTS"
    xwd -silent -root | convert xwd:- "png:$SCREEN_FIT_SHOTS/screen-fit-$scale.png"
  fi
  xdotool key Escape  # cancels the import, so the program ends without a question
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  unset 'x_pids[-1]'
  record "scale $scale: every other window wholly on the ${screen_width} x ${screen_height} screen" \
    "$status"
  record "scale $scale: the main window wholly on the screen, every control reachable" \
    "$main_status"
done

echo "screen-fit:"
for line in "${results[@]}"; do echo "  $line"; done
if [ "$failed" -ne 0 ]; then
  keep_work=1
  echo "screen-fit: FAIL ($failed of ${#results[@]} checks)"
  exit 1
fi
echo "screen-fit: PASS (${#results[@]} checks)"
