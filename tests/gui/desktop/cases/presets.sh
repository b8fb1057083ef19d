# The size boxes store exactly what is typed, when editing ends.

case_typing_19_in_maximum_width_stores_19() {
  pellora_launch
  # Alt+W is the mnemonic of "Maximum width"; select what it holds, type over it, leave with Tab.
  press "$PELLORA_WINDOW" alt+w ctrl+a
  type_text "$PELLORA_WINDOW" 19
  press "$PELLORA_WINDOW" Tab
  # Stored when editing ended, and written by the quit at the latest.
  press "$PELLORA_WINDOW" ctrl+q
  pellora_expect_exit 0
  expect_setting ScalingMaxWidth integer 19
}
