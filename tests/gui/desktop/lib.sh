# Helpers for the desktop tests (sourced by run.sh). Every wait is on a
# condition, with a generous limit, never a fixed pause that the test relies on.

SESSION_DIR=""
XVFB_PID=""
WM_PID=""
PELLORA_PID=""
PELLORA_WINDOW=""
CASE_DIR=""

# --- The X session: one display and one window manager for the whole run ---

session_start() {
  SESSION_DIR=$(mktemp -d)
  # Xvfb picks a free display and writes its number to the given descriptor.
  Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$SESSION_DIR/display" \
    >"$SESSION_DIR/xvfb.log" 2>&1 &
  XVFB_PID=$!
  if ! wait_until 20 test -s "$SESSION_DIR/display"; then
    echo "desktop tests: Xvfb did not start" >&2
    cat "$SESSION_DIR/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$SESSION_DIR/display")"
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
  HOME=$SESSION_DIR openbox --sm-disable >"$SESSION_DIR/openbox.log" 2>&1 &
  WM_PID=$!
  if ! wait_until 20 window_manager_running; then
    echo "desktop tests: openbox did not start" >&2
    cat "$SESSION_DIR/openbox.log" >&2
    return 1
  fi
}

session_stop() {
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  [ -n "$SESSION_DIR" ] && rm -rf "$SESSION_DIR"
}

window_manager_running() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# --- One case: its own home, settings, data and runtime folders ---

run_case() {
  local name=$1 status
  CASE_DIR=$(mktemp -d)
  mkdir -p "$CASE_DIR/home" "$CASE_DIR/config" "$CASE_DIR/data" "$CASE_DIR/runtime"
  chmod 700 "$CASE_DIR/runtime"
  (
    export HOME=$CASE_DIR/home XDG_CONFIG_HOME=$CASE_DIR/config XDG_DATA_HOME=$CASE_DIR/data
    export XDG_RUNTIME_DIR=$CASE_DIR/runtime
    # An update check at launch never leaves the machine: nothing listens on the discard port.
    export PELLORA_UPDATE_URL=http://127.0.0.1:9/QVXUpdateDatabase.xml
    set -e
    "$name"
  )
  status=$?
  if [ $status -ne 0 ] && [ -f "$CASE_DIR/pellora.log" ]; then
    echo "--- pellora's output in $name:"
    cat "$CASE_DIR/pellora.log"
  fi
  # A program left behind by a failed case does not disturb the next one.
  if [ -s "$CASE_DIR/pellora.pid" ]; then
    kill -KILL "$(cat "$CASE_DIR/pellora.pid")" 2>/dev/null
  fi
  rm -rf "$CASE_DIR"
  return $status
}

fail() {
  echo "  $*" >&2
  return 1
}

# wait_until SECONDS COMMAND...: true as soon as COMMAND succeeds.
wait_until() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# --- The program ---

# pellora_launch [ARGUMENT...]: starts pellora and waits for its main window.
pellora_launch() {
  "$PELLORA" "$@" >"$CASE_DIR/pellora.log" 2>&1 &
  PELLORA_PID=$!
  echo "$PELLORA_PID" >"$CASE_DIR/pellora.pid"
  wait_until 30 find_main_window || fail "no main window appeared"
  # The window manager has framed and shown it.
  wait_until 10 window_is_viewable "$PELLORA_WINDOW" || fail "the main window is not viewable"
}

find_main_window() {
  PELLORA_WINDOW=$(xdotool search --all --pid "$PELLORA_PID" --onlyvisible --name '^Pellora$' 2>/dev/null | head -n1)
  [ -n "$PELLORA_WINDOW" ]
}

window_is_viewable() {
  xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

pellora_running() {
  kill -0 "$PELLORA_PID" 2>/dev/null
}

# pellora_expect_exit STATUS: waits for the program to end and checks its status.
pellora_expect_exit() {
  local expected=$1 status
  if ! wait_until 10 eval '! pellora_running'; then
    kill -KILL "$PELLORA_PID" 2>/dev/null
    wait "$PELLORA_PID" 2>/dev/null || true
    fail "pellora still ran 10 s later (killed)"
  fi
  status=0
  wait "$PELLORA_PID" || status=$?
  PELLORA_PID=""
  : >"$CASE_DIR/pellora.pid"
  [ "$status" -eq "$expected" ] || fail "pellora ended with status $status, not $expected"
}

# wait_for_import FILE: the import has ended when it has noted FILE as recently used.
wait_for_import() {
  wait_until 30 grep -q "$1" "$XDG_DATA_HOME/recently-used.xbel" || fail "the files were not imported"
}

# --- Acting as the user ---

# press_until KEYS COMMAND...: presses KEYS in the main window until COMMAND
# succeeds (three presses at most, 10 s each): the window refuses a command
# until the last refresh of the job before it.
press_until() {
  local keys=$1 attempt
  shift
  for attempt in 1 2 3; do
    press "$PELLORA_WINDOW" "$keys"
    wait_until 10 "$@" && return 0
  done
  return 1
}

# press WINDOW KEY...: activates the window and types the keys (xdotool names: ctrl+q, Tab, alt+w).
press() {
  local window=$1
  shift
  xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
  wait_until 10 window_is_active "$window" || fail "window $window did not become active"
  xdotool key --clearmodifiers "$@"
}

# type_text WINDOW TEXT: types the text into the window's focused control.
type_text() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdotool type --delay 50 "$2"
}

window_is_active() {
  [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

# click_close_box WINDOW: clicks the close button of the window manager's
# title bar (openbox puts it at the right end).
click_close_box() {
  local info x y width title_height
  info=$(xwininfo -id "$1")
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  width=$(awk '/^ *Width:/ {print $2}' <<<"$info")
  title_height=$(awk '/Relative upper-left Y/ {print $4}' <<<"$info")
  [ "$title_height" -gt 4 ] || fail "the window has no title bar"
  xdotool mousemove $((x + width - 10)) $((y - title_height / 2)) click 1
}

# --- What the program left behind ---

settings_file() {
  echo "$XDG_CONFIG_HOME/pellora/Pellora.plist"
}

# setting KEY: the stored value's text (as written in the property list), empty when absent.
setting() {
  awk -v key="<key>$1</key>" '
    found { gsub(/^[ \t]*<[a-z]+>|<\/[a-z]+>[ \t]*$/, ""); print; exit }
    index($0, key) { found = 1 }' "$(settings_file)" 2>/dev/null
}

# setting_type KEY: integer, real, string, true, false, data... or empty when absent.
setting_type() {
  awk -v key="<key>$1</key>" '
    found { match($0, /<[a-z]+/); print substr($0, RSTART + 1, RLENGTH - 1); exit }
    index($0, key) { found = 1 }' "$(settings_file)" 2>/dev/null
}

# write_settings KEY TYPE VALUE...: the settings file the program finds at launch.
write_settings() {
  mkdir -p "$(dirname "$(settings_file)")"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">'
    echo '<plist version="1.0">'
    echo '<dict>'
    while [ $# -ge 3 ]; do
      printf '\t<key>%s</key>\n\t<%s>%s</%s>\n' "$1" "$2" "$3" "$2"
      shift 3
    done
    echo '</dict>'
    echo '</plist>'
  } >"$(settings_file)"
}

# expect_setting KEY TYPE VALUE
expect_setting() {
  local type value
  type=$(setting_type "$1")
  value=$(setting "$1")
  [ "$type" = "$2" ] && [ "$value" = "$3" ] || fail "$1 is <$type>$value, not <$2>$3"
}

# files_in FOLDER: how many files the folder holds.
files_in() {
  find "$1" -maxdepth 1 -type f 2>/dev/null | wc -l
}
