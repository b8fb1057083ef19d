# Quitting: Ctrl+Q, the close box and SIGTERM end the program with status 0,
# from an idle window and after an export, with the settings written.

# An idle window, ended by each way in turn (one launch each).
case_ctrl_q_ends_an_idle_window() {
  pellora_launch
  press "$PELLORA_WINDOW" ctrl+q
  pellora_expect_exit 0
  # The window's frame is among the settings written at the end.
  [ "$(setting_type 'MainWindow Frame')" = data ] || fail "the window frame was not saved"
}

case_close_box_ends_an_idle_window() {
  pellora_launch
  click_close_box "$PELLORA_WINDOW"
  pellora_expect_exit 0
  [ "$(setting_type 'MainWindow Frame')" = data ] || fail "the window frame was not saved"
}

case_sigterm_ends_an_idle_window() {
  pellora_launch
  kill -TERM "$PELLORA_PID"
  pellora_expect_exit 0
}

# Three photographs exported into the fixed folder of the preferences, then the way to quit.
export_then() {
  local quit=$1 sources=$CASE_DIR/photos output=$CASE_DIR/exported
  mkdir -p "$sources"
  for name in one two three; do cp "$TEST_DATA/camera/Canon.jpg" "$sources/$name.jpg"; done
  write_settings ExportDestination integer 1 ExportStaticLocation string "$output"
  pellora_launch "$sources/one.jpg" "$sources/two.jpg" "$sources/three.jpg"
  wait_for_import three.jpg
  press_until ctrl+e eval '[ "$(files_in "$output")" -eq 3 ]' ||
    fail "the export wrote $(files_in "$output") files, not 3"
  # The last file lands a moment before the export ends, and until then
  # closing only beeps: ask again while the program still runs.
  local attempt
  for attempt in 1 2 3; do
    case $quit in
    ctrl+q) press "$PELLORA_WINDOW" ctrl+q ;;
    close-box) click_close_box "$PELLORA_WINDOW" ;;
    esac
    wait_until 5 eval '! pellora_running' && break
  done
  pellora_expect_exit 0
}

case_ctrl_q_ends_the_window_after_an_export() {
  export_then ctrl+q
}

case_close_box_ends_the_window_after_an_export() {
  export_then close-box
}
