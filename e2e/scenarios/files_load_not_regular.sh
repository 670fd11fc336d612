# shellcheck shell=bash
# Files that used to hang or end the program on "Load": a named pipe typed
# into the open dialog is refused with a message at once (opening it would
# wait for a writer), and a JPEG that is cut short and written again and
# again while it loads ends each time either loaded or refused with a
# message; the program carries on and loads a good file afterwards.

scenario() {
  app_launch
  local win=$APP_WIN

  mkfifo "$E2E_TMP/pipe.jpg"
  load_file "$win" "$E2E_TMP/pipe.jpg"
  wait_for 10 "a message refusing the named pipe" has_message_box "$win"
  close_message_box "$win"
  app_running || fail "the program ended after the pipe"

  # A 3000 x 2000 noise JPEG (several megabytes, some 100 ms to decode),
  # rewritten in a loop while it is loaded.
  local big=$E2E_TMP/big.jpg changing=$E2E_TMP/changing.jpg
  "$IM_CONVERT" -size 3000x2000 xc:gray50 -seed 7 +noise Random -quality 92 "$big"
  cp "$big" "$changing"
  (
    while :; do
      truncate -s 4096 "$changing"
      cat "$big" >"$changing"
    done
  ) </dev/null >/dev/null 2>&1 &
  local writer=$!
  E2E_EXTRA_PIDS+=("$writer")
  local attempt refused=0
  for attempt in 1 2 3; do
    load_file "$win" "$changing"
    # Refused with a message, or loaded without one.
    if wait_until 4 has_message_box "$win"; then
      refused=$((refused + 1))
      close_message_box "$win"
    fi
    app_running || fail "the program ended while loading a file that changed (attempt $attempt)"
  done
  kill "$writer" 2>/dev/null || true
  wait "$writer" 2>/dev/null || true
  e2e_log "the changing file was refused $refused times out of 3"

  # A good file still loads: the surface shows its top-left corner.
  "$IM_CONVERT" -size 400x300 xc:'#2060C0' -quality 95 "$E2E_TMP/blue.jpg"
  load_file "$win" "$E2E_TMP/blue.jpg"
  wait_for 10 "the loaded picture on the surface" _client_pixel_near "$win" 16 16 2060C0
  no_message_box "$win" || fail "a message after loading a good file"
}

_client_pixel_near() { # WIN X Y RRGGBB: every channel within 8
  local got
  got=$(client_pixel "$1" "$2" "$3") || return 1
  colours_close "$got" "$4" 8
}
