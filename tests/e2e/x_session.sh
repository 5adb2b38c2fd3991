# shellcheck shell=bash
# Sourced by scripts/test-e2e, scripts/screenshots and scripts/measure-cpu: a private X server,
# the program on it with a simulated transmitter, and real pointer and keyboard input aimed at
# the panel's controls. Expects `build` (the build directory) and `work` (a scratch directory)
# to be set, and `set -euo pipefail`. x_stop runs from the caller's EXIT trap. Callers read
# main_window, preview_window and program_pid.
# shellcheck disable=SC2034,SC2154

expect_tool="$build/tests/e2e/velta_e2e_expect"
program="$build/app/velta-control-center"
x_pids=()

x_fail() {
  echo "x-session: $*" >&2
  exit 1
}

# Starts Xvfb on the first free display number (the server picks it and reports it on a pipe),
# with one screen of x_screen (WIDTHxHEIGHTxDEPTH) when the caller set it, else 1920x1200x24.
x_start() {
  local screen="${x_screen:-1920x1200x24}"
  for tool in Xvfb xdotool xwd convert; do
    command -v "$tool" >/dev/null || x_fail "$tool is missing (scripts/install-deps installs it)"
  done
  [ -x "$program" ] || x_fail "no program at $program (build it first)"
  [ -x "$expect_tool" ] || x_fail "no $expect_tool (build the velta_e2e_expect target)"
  local fifo="$work/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo" >"$work/xvfb.log" 2>&1 &
  x_pids+=("$!")
  local number=""
  read -r -t 10 number <"$fifo" || true
  [ -n "$number" ] || x_fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$number"
}

# Starts the program and waits for its main window and the preview it opens beside it.
x_start_program() {
  QT_QPA_PLATFORM=xcb "$program" --simulate >"$work/program.log" 2>&1 &
  program_pid=$!
  x_pids+=("$program_pid")
  main_window=$(x_wait_window "^Velta Control Center")
  preview_window=$(x_wait_window "^Display Preview$")
  # Both painted once before anyone looks at them.
  sleep 0.5
  x_locate_panel
}

# The first visible window whose name matches, waiting up to 10 s.
x_wait_window() {
  local id
  id=$(timeout 10 xdotool search --sync --onlyvisible --name "$1" | head -n 1) || true
  [ -n "$id" ] || x_fail "no window named \"$1\" appeared"
  echo "$id"
}

x_window_exists() {
  xdotool search --onlyvisible --name "$1" >/dev/null 2>&1
}

# Screenshots of one window, as PNG and as the binary PPM the expectations read.
x_shot() {
  local window="$1" png="$2"
  xwd -silent -id "$window" | convert xwd:- "png:$png"
}
x_shot_ppm() {
  local window="$1" ppm="$2"
  xwd -silent -id "$window" | convert xwd:- "ppm:$ppm"
}

# Where the panel starts on the screen: the window's corner plus the menu bar above the panel,
# found from the grid LEDs in a screenshot (all off at this point).
x_locate_panel() {
  local X Y WIDTH HEIGHT SCREEN WINDOW offset
  eval "$(xdotool getwindowgeometry --shell "$main_window")"
  x_shot_ppm "$main_window" "$work/main-start.ppm"
  offset=$("$expect_tool" locate-panel "$work/main-start.ppm") ||
    x_fail "the panel's grid is not where the main window should show it"
  panel_x=$((X + ${offset% *}))
  panel_y=$((Y + ${offset#* }))
}

# Screen point of a grid LED (row column) or a named control.
x_where() {
  local point
  point=$("$expect_tool" where "$@")
  echo "$((panel_x + ${point% *})) $((panel_y + ${point#* }))"
}

x_click_led() {
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(x_where "$1" "$2") click 1
  sleep 0.05
}

x_click_control() {
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(x_where "$1") click 1
  sleep 0.1
}

# A right-button drag along one grid row, slow enough that the 10 ms paint tick sees every LED.
x_paint_row() {
  local row="$1" from="$2" to="$3" x0 y x1 step
  read -r x0 y < <(x_where "$row" "$from")
  read -r x1 _ < <(x_where "$row" "$to")
  step=$((x1 >= x0 ? 3 : -3))
  local args=(mousemove --sync "$x0" "$y" mousedown 3 sleep 0.05)
  local x=$x0
  while [ $(((x1 - x) * step)) -gt 0 ]; do
    x=$((x + step))
    if [ $(((x1 - x) * step)) -lt 0 ]; then x=$x1; fi
    args+=(mousemove "$x" "$y" sleep 0.02)
  done
  args+=(sleep 0.05 mouseup 3)
  xdotool "${args[@]}"
  sleep 0.1
}

x_focus() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.1
}

# Ends every process this session started, newest first, and waits for each.
x_stop() {
  local i
  for ((i = ${#x_pids[@]} - 1; i >= 0; i--)); do
    kill "${x_pids[i]}" 2>/dev/null || true
  done
  for ((i = ${#x_pids[@]} - 1; i >= 0; i--)); do
    wait "${x_pids[i]}" 2>/dev/null || true
  done
  x_pids=()
}
