# shellcheck shell=bash
# The keyboard runs the window's buttons: after a selection Ctrl+C puts the
# crop on the clipboard again, the arrows nudge the selection one step of
# the arrow pad each (10 twips, 2 pixels for three presses at 96 dpi),
# Ctrl+S saves, Ctrl+P prints, Ctrl+O opens the open dialog, and Escape
# leaves the editor.

e2e_use printing

_keys() { xdotool key --clearmodifiers --delay 60 "$@"; }

scenario() {
  use_pdf_printer
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN h=$APP_CLIENT_H
  wait_for 5 "the selection on the clipboard" clipboard_is_pattern 100 100 200 150
  xdotool windowactivate --sync "$win" 2>/dev/null || true

  clipboard_set_text "something else"
  _keys ctrl+c
  wait_for 5 "Ctrl+C to put the crop on the clipboard again" clipboard_is_pattern 100 100 200 150

  _keys Right Right Right
  wait_for 5 "three Right arrows to move the crop 2 pixels right" clipboard_is_pattern 102 100 200 150
  _keys Down Down Down Up Up Up Up Up Up
  wait_for 5 "the Down and Up arrows to move it 2 pixels up in all" clipboard_is_pattern 102 98 200 150

  local out=$E2E_TMP/saved
  mkdir -p "$out"
  _keys ctrl+s
  type_into_dialog "Save file" "$out/shot"
  wait_for 5 "Ctrl+S to save the crop" file_is_pattern "$out/shot.bmp" 102 98 200 150

  cups_pdf_mark "$E2E_TMP/print-mark"
  _keys ctrl+p
  local pdf
  pdf=$(cups_pdf_wait_new "$E2E_TMP/print-mark" 60) || fail "Ctrl+P printed nothing"
  assert_eq 1 "$(pdfinfo "$pdf" | awk '/^Pages:/ { print $2 }')" "pages printed by Ctrl+P"
  rm -f "$pdf"

  _keys ctrl+o
  local dialog
  dialog=$(dialog_window "Profil picture")
  [[ -n $dialog ]] || fail "Ctrl+O opened no open dialog"
  xdotool windowactivate --sync "$dialog" 2>/dev/null || true
  _keys Escape # closes the dialog: a key of another window
  wait_for 10 "the open dialog to close" no_window_named "Profil picture"
  app_running || fail "the program ended"

  # "Edit" (tool bar, 48 pixels right of its left edge + 528), then Escape.
  click_client "$win" 576 $((h - 37))
  wait_for 5 "the editor to cover the surface" _surface_hidden "$win"
  xdotool windowactivate --sync "$win" 2>/dev/null || true
  _keys Escape
  wait_for 5 "Escape to leave the editor" client_shows_pattern "$win" 400 300 100 100 400 300
}

_surface_hidden() { ! client_shows_pattern "$1" 400 300 100 100 400 300; }
