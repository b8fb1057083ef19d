# What an export tells: a file that does not decode and a destination the
# program may not write into end in the report sheet, with the counts and
# each failed file's reason; a failed record stays in the list.

# report_window: waits for the report sheet and sets REPORT_WINDOW.
report_window() {
  REPORT_WINDOW=""
  wait_until 30 find_report_window || fail "no report sheet appeared"
  wait_until 10 window_is_viewable "$REPORT_WINDOW" || fail "the report sheet is not viewable"
}

find_report_window() {
  REPORT_WINDOW=$(xdotool search --all --pid "$PELLORA_PID" --onlyvisible --name '^Export (finished|stopped)$' \
    2>/dev/null | head -n1)
  [ -n "$REPORT_WINDOW" ]
}

# expect_report TEXT: the report the sheet copies (Ctrl+C) is TEXT; then OK closes the sheet.
# The clipboard may still hold an earlier report for a moment: wait for this one.
expect_report() {
  local copied="" expected=$1
  press "$REPORT_WINDOW" ctrl+c
  wait_until 10 eval 'copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null) && [ "$copied" = "$expected" ]' ||
    fail "the report reads
$copied
and not
$expected"
  press "$REPORT_WINDOW" Return
  wait_until 10 eval '! window_is_viewable "$REPORT_WINDOW"' || fail "OK did not close the report sheet"
}

# export_to_report: exports the list (Ctrl+E) and waits for the report sheet.
export_to_report() {
  press_until ctrl+e find_report_window
  report_window
}

case_a_corrupt_file_is_reported_and_stays_in_the_list() {
  local sources=$CASE_DIR/photos output=$CASE_DIR/exported
  mkdir -p "$sources"
  cp "$TEST_DATA/camera/Canon.jpg" "$sources/good.jpg"
  printf 'this is not a picture' >"$sources/broken.jpg"
  write_settings ExportDestination integer 1 ExportStaticLocation string "$output"
  pellora_launch "$sources/good.jpg" "$sources/broken.jpg"
  wait_for_import broken.jpg
  export_to_report
  expect_report "Export finished
1 written, 0 skipped, 1 failed
$sources/broken.jpg	Failed: cannot decode the image"
  [ "$(files_in "$output")" -eq 1 ] || fail "the export wrote $(files_in "$output") files, not 1"
  # The corrupt record stayed, alone: a second export tries it again, and only it.
  export_to_report
  expect_report "Export finished
0 written, 0 skipped, 1 failed
$sources/broken.jpg	Failed: cannot decode the image"
  press "$PELLORA_WINDOW" ctrl+q
  pellora_expect_exit 0
}

case_an_unwritable_destination_is_reported() {
  local sources=$CASE_DIR/photos output=$CASE_DIR/read-only
  mkdir -p "$sources" "$output"
  chmod 0500 "$output"
  for name in one two; do cp "$TEST_DATA/camera/Canon.jpg" "$sources/$name.jpg"; done
  # Root writes into any folder: run the program without that power, as any other user would.
  if [ "$(id -u)" -eq 0 ]; then
    printf '#!/bin/sh\nexec setpriv --bounding-set=-dac_override,-dac_read_search "%s" "$@"\n' "$PELLORA" \
      >"$CASE_DIR/pellora-without-override"
    chmod +x "$CASE_DIR/pellora-without-override"
    PELLORA=$CASE_DIR/pellora-without-override
  fi
  write_settings ExportDestination integer 1 ExportStaticLocation string "$output"
  pellora_launch "$sources/one.jpg" "$sources/two.jpg"
  wait_for_import two.jpg
  export_to_report
  expect_report "Export finished
0 written, 0 skipped, 2 failed
$sources/one.jpg	Failed: cannot write to the folder
$sources/two.jpg	Failed: cannot write to the folder"
  [ "$(find "$output" -mindepth 1 | wc -l)" -eq 0 ] || fail "something was left in the read-only folder"
  press "$PELLORA_WINDOW" ctrl+q
  pellora_expect_exit 0
}
