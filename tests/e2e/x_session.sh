# shellcheck shell=bash
# Sourced by scripts/test-e2e, scripts/screenshots and scripts/measure-cpu: a private X server,
# the program on it with a simulated transmitter, and real pointer and keyboard input aimed at
# the panel's controls. Expects `build` (the build directory) and `work` (a scratch directory)
# to be set, and `set -euo pipefail`. x_stop runs from the caller's EXIT trap. Callers read
# main_window, preview_window, program_pid and where the panel is (panel_x, panel_y, and
# panel_scale: the panel scales with its window, its natural size following the desktop font).
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
  # A home of its own, empty, so the run can check the program left no file of its own there.
  mkdir -p "$work/home"
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
    XDG_DATA_HOME="$work/home/.local/share" QT_QPA_PLATFORM=xcb "$program" --simulate \
    >"$work/program.log" 2>&1 &
  program_pid=$!
  x_pids+=("$program_pid")
  main_window=$(x_wait_window "^Velta Control Center")
  preview_window=$(x_wait_window "^Display Preview$")
  # Both painted once before anyone looks at them.
  sleep 0.5
  x_locate_panel
}

# True when the program wrote nothing into its home (no settings, caches or histories).
x_home_untouched() {
  local left
  left=$(find "$work/home" -mindepth 1 -print 2>/dev/null)
  [ -z "$left" ] || { echo "files left in the program's home:"; echo "$left"; return 1; }
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

# Where the panel starts on the screen and its scale: the window's corner plus the menu bar
# above the panel, found from the grid LEDs in a screenshot (all off at this point).
x_locate_panel() {
  local X Y WIDTH HEIGHT SCREEN WINDOW dx dy
  eval "$(xdotool getwindowgeometry --shell "$main_window")"
  x_shot_ppm "$main_window" "$work/main-start.ppm"
  read -r dx dy panel_scale < <("$expect_tool" locate-panel "$work/main-start.ppm") ||
    x_fail "the panel's grid is not where the main window should show it"
  panel_x=$((X + dx))
  panel_y=$((Y + dy))
}

# Screen point of a grid LED (row column) or a named control.
x_where() {
  local point
  point=$("$expect_tool" where --scale "$panel_scale" "$@")
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

# Ends the program (without its questions) so that another can start on the same display.
x_stop_program() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
}

# The panel by the keyboard alone, as a user without a pointer: no pointer event, only keys,
# starting where the program puts the focus ("Select All") with the grid's focus LED at its
# first LED. Steps as velta_e2e_expect reads them:
#   key-led R C                     the focus LED to (R, C) by arrows, Home/End, Page Up/Down or
#                                   Control with Home/End, then Space
#   key-button NAME | key-box NAME  Tab or Shift+Tab to the control, then Space
x_keyboard_steps() {
  local steps=("$@") focus=select-all row=0 column=0 i=0 n k
  x_focus "$main_window"
  while [ "$i" -lt "${#steps[@]}" ]; do
    local keys=() target
    case "${steps[i]}" in
      key-led)
        target=grid
        local r="${steps[i + 1]}" c="${steps[i + 2]}"
        i=$((i + 3))
        ;;
      key-button | key-box)
        target="${steps[i + 1]}"
        i=$((i + 2))
        ;;
      *) x_fail "not a keyboard step: ${steps[i]}" ;;
    esac
    n=$("$expect_tool" tabs "$focus" "$target") || x_fail "no way by Tab to $target"
    for ((k = 0; k < ${n#-}; k++)); do
      if [ "$n" -gt 0 ]; then keys+=(Tab); else keys+=(shift+Tab); fi
    done
    focus="$target"
    if [ "$target" = grid ]; then
      if [ "$r" -eq 0 ] && [ "$c" -eq 0 ]; then
        keys+=(ctrl+Home)
      elif [ "$r" -eq 11 ] && [ "$c" -eq 31 ]; then
        keys+=(ctrl+End)
      else
        if [ "$r" -eq 0 ] && [ "$row" -ne 0 ]; then keys+=(Prior)
        elif [ "$r" -eq 11 ] && [ "$row" -ne 11 ]; then keys+=(Next)
        else
          for ((k = row; k < r; k++)); do keys+=(Down); done
          for ((k = r; k < row; k++)); do keys+=(Up); done
        fi
        if [ "$c" -eq 0 ] && [ "$column" -ne 0 ]; then keys+=(Home)
        elif [ "$c" -eq 31 ] && [ "$column" -ne 31 ]; then keys+=(End)
        else
          for ((k = column; k < c; k++)); do keys+=(Right); done
          for ((k = c; k < column; k++)); do keys+=(Left); done
        fi
      fi
      row=$r
      column=$c
    fi
    keys+=(space)
    xdotool key --delay 25 "${keys[@]}"
    sleep 0.1
  done
}

# File > Export Data Center by its shortcut, the path typed into the file dialog. Never Escape,
# which the panel takes as the way out of the program.
x_export_by_keys() {
  local file="$1" dialog="" attempt
  for attempt in 1 2 3; do
    x_focus "$main_window"
    xdotool key --clearmodifiers ctrl+e
    if dialog=$(timeout 5 xdotool search --sync --onlyvisible --name "^Export Data Center$" |
      head -n 1) && [ -n "$dialog" ]; then
      break
    fi
  done
  [ -n "$dialog" ] || return 1
  x_focus "$dialog"
  sleep 0.3
  xdotool key ctrl+a
  xdotool type --delay 5 "$file"
  sleep 0.3
  xdotool key Return
  for _ in $(seq 50); do
    [ -s "$file" ] && return 0
    sleep 0.1
  done
  return 1
}

# The program as a screen reader reads it over AT-SPI, on a session bus of its own
# (tests/e2e/atspi_walk.py starts and ends its own copy of the program).
x_atspi_walk() {
  command -v dbus-run-session >/dev/null || x_fail "dbus-run-session is missing (scripts/install-deps)"
  dbus-run-session -- /usr/bin/python3 tests/e2e/atspi_walk.py "$program" 2>"$work/atspi.log"
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
