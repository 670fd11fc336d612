# shellcheck shell=bash
# Checks the measuring tools the scenarios rely on, against windows whose
# truth is known, so that a scenario failure means the program is wrong and
# not the harness: the background picture, pixel reading, image comparison,
# window geometry and frame extents, clicks landing on the right client
# pixel, frame-corner and Alt+right-button resizing, and the clean-up and
# failure-report hooks the library's parts register. Needs no program.

_probe_window() { # _probe_window NAME GEOMETRY LOG: an xev window; sets PROBE
  xev -geometry "$2" -name "$1" </dev/null >"$3" 2>&1 &
  E2E_EXTRA_PIDS+=($!)
  PROBE=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
  [[ -n $PROBE ]] || fail "probe window '$1' did not appear"
  wait_for 5 "the frame of the probe window" _has_frame_extents "$PROBE"
}

_count_is() { [[ $(grep -c "$2" "$3") == "$1" ]]; } # N PATTERN FILE

_client_size_is() { # WIN W H
  local x y w h
  read -r x y w h < <(win_client_geometry "$1")
  [[ $w == "$2" && $h == "$3" ]]
}

_elapsed_ms() { # _elapsed_ms CMD...: runs CMD, prints how long it took
  local t0
  t0=$(date +%s%3N)
  "$@" || true
  echo $(($(date +%s%3N) - t0))
}

_hook_a() { printf 'a '; }
_hook_b() { printf 'b '; return 1; }

scenario() {
  # The hooks: the X11 desktop registered its clean-up and failure report;
  # clean-ups run last registered first, each once, on past one that fails,
  # and are gone once run.
  [[ " ${E2E_CLEANUPS[*]} " == *" x11_stop_desktop "* ]] ||
    fail "the X11 desktop registered no clean-up: ${E2E_CLEANUPS[*]}"
  [[ " ${E2E_FAILURE_REPORTS[*]} " == *" x11_report_failure "* ]] ||
    fail "the X11 desktop registered no failure report: ${E2E_FAILURE_REPORTS[*]}"
  local order
  order=$(
    E2E_CLEANUPS=()
    e2e_on_cleanup _hook_a
    e2e_on_cleanup _hook_b
    e2e_on_cleanup _hook_a
    e2e_run_cleanups 2>/dev/null
    printf '| '
    e2e_run_cleanups
  )
  assert_eq "b a | " "$order" "what e2e_run_cleanups ran, twice"
  x11_report_failure >/dev/null
  [[ -s $E2E_TMP/final-screen.png ]] || fail "the X11 failure report saved no picture of the screen"
  rm -f "$E2E_TMP/final-screen.png"

  # Waiting gives up after the time asked for, not sooner or much later
  # (3 s is past what a 32-bit count of nanoseconds can hold).
  local limits timeout lo hi took
  for limits in "0.3 300 1300" "3 3000 4000"; do
    read -r timeout lo hi <<<"$limits"
    took=$(_elapsed_ms wait_until "$timeout" false)
    ((took >= lo && took <= hi)) || fail "wait_until $timeout false took ${took} ms"
  done
  took=$(_elapsed_ms wait_until 5 true)
  ((took < 1000)) || fail "wait_until on a true condition took ${took} ms"

  assert_eq "${E2E_SCREEN_W}x${E2E_SCREEN_H}" \
    "$(xdpyinfo | awk '/dimensions:/ { print $2 }')" "screen size"

  # The root window shows the pattern exactly (checked inside).
  e2e_set_background
  local pattern
  pattern=$(e2e_pattern_file)

  # Pixel reading: the screen, the pattern file and the known colours of the
  # squares agree. Square i (row-major, 12 per row) is at
  # (40 + 160*col, 40 + 150*row) and coloured from i.
  local row col idx x y want
  for row in 0 3 6; do
    for col in 0 5 11; do
      idx=$((row * 12 + col)) x=$((40 + col * 160 + 40)) y=$((40 + row * 150 + 40))
      printf -v want '%02X%02X%02X' $(((idx * 53) % 256)) $(((idx * 97 + 80) % 256)) $(((idx * 151 + 160) % 256))
      assert_eq "$want" "$(screen_pixel "$x" "$y")" "screen pixel of square $idx at $x,$y"
      assert_eq "$want" "$(pixel "$pattern" "$x" "$y")" "pattern pixel of square $idx at $x,$y"
    done
  done
  # Between the squares: red follows x, green follows y.
  assert_eq "0000" "$(pixel "$pattern" 0 0 | cut -c1-4)" "pattern red/green at 0,0"
  assert_eq "FFFF" "$(pixel "$pattern" 1919 1079 | cut -c1-4)" "pattern red/green at 1919,1079"

  # Image comparison: exact match, one-pixel shifts, a changed pixel, a
  # different size.
  local t=$E2E_TMP
  screenshot_region 300 200 120 80 "$t/shot.png"
  pattern_crop 300 200 120 80 "$t/same.png"
  pattern_crop 301 200 120 80 "$t/right.png"
  pattern_crop 300 201 120 80 "$t/down.png"
  pattern_crop 300 200 121 80 "$t/wider.png"
  "$IM_CONVERT" "$t/same.png" -fill '#123456' -draw 'point 7,9' "$t/dot.png"
  local case expect file out
  for case in "same:0" "right:many" "down:many" "dot:1" "wider:size"; do
    file=${case%%:*} expect=${case#*:}
    out=$(images_identical "$t/shot.png" "$t/$file.png") && [[ $expect != 0 ]] &&
      fail "images_identical says the screen equals the '$file' crop"
    case $expect in
      0) assert_eq 0 "$out" "differing pixels, screen vs same crop" ;;
      1) assert_eq 1 "$out" "differing pixels, screen vs crop with one changed pixel" ;;
      many) ((out > 1000)) || fail "a one-pixel shift ('$file') changed only $out of 9600 pixels" ;;
      size) assert_eq "size 120x80 vs 121x80" "$out" "size mismatch report" ;;
    esac
  done

  # Geometry: openbox puts the frame's top-left where the client asked.
  _probe_window "harness probe" 300x200+100+100 "$t/xev.log"
  local cx cy cw ch l r tp b ox oy ow oh
  read -r cx cy cw ch < <(win_client_geometry "$PROBE")
  read -r l r tp b < <(win_frame_extents "$PROBE")
  read -r ox oy ow oh < <(win_outer_geometry "$PROBE")
  e2e_log "probe: client $cx,$cy ${cw}x$ch; frame left $l right $r top $tp bottom $b"
  assert_eq "300x200" "${cw}x${ch}" "probe client size"
  ((tp > 0)) || fail "no title bar reported in _NET_FRAME_EXTENTS ($l $r $tp $b)"
  assert_eq "100,100" "$ox,$oy" "probe outer position"
  assert_eq "$((300 + l + r))x$((200 + tp + b))" "${ow}x${oh}" "probe outer size"
  assert_eq IsViewable "$(win_map_state "$PROBE")" "probe map state"
  win_lacks_state "$PROBE" _NET_WM_STATE_ABOVE || fail "probe is above others from the start"

  # Clicks land on the client pixel asked for (xev reports it), and a second
  # click on the same spot is as quick as the first.
  click_client "$PROBE" 150 120
  wait_for 3 "xev to report the click" grep -q '^ButtonRelease' "$t/xev.log"
  grep -A2 '^ButtonPress' "$t/xev.log" | grep -q ' (150,120), root:(' ||
    fail "click at client 150,120 arrived as: $(grep -A2 '^ButtonPress' "$t/xev.log" | tr -s ' \n' ' ')"
  took=$(_elapsed_ms click_client "$PROBE" 150 120)
  ((took < 1000)) || fail "clicking again on the same spot took ${took} ms"
  wait_for 3 "xev to report the second click" _count_is 2 '^ButtonRelease' "$t/xev.log"

  # Dragging the frame's bottom-right corner resizes by the distance moved.
  drag $((ox + ow - 1)) $((oy + oh - 1)) $((ox + ow + 99)) $((oy + oh + 49))
  wait_for 3 "the probe to be 400x250 after the corner drag" _client_size_is "$PROBE" 400 250

  # So does Alt + right-button drag inside the window (near its corner).
  read -r cx cy cw ch < <(win_client_geometry "$PROBE")
  drag $((cx + cw - 20)) $((cy + ch - 20)) $((cx + cw + 80)) $((cy + ch + 30)) 3 10 alt
  wait_for 3 "the probe to be 500x300 after the Alt drag" _client_size_is "$PROBE" 500 300

  # The structure watcher sees an unmap.
  watch_window_structure "$PROBE" "$t/structure.log"
  window_was_unmapped "$t/structure.log" && fail "unmap reported before any happened"
  xdotool windowunmap "$PROBE"
  wait_for 3 "the watcher to report the unmap" window_was_unmapped "$t/structure.log"
}
