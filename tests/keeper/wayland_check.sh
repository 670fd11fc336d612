#!/usr/bin/env bash
# wayland_check.sh HELPER: the clipboard helper on a headless sway, read
# with wl-paste. It takes the clipboard only while the selection still
# offers the program's marker type (a copy another client made during the
# hand-off wins), offers image/png and image/bmp byte for byte as handed
# over, ends when another client (wl-copy) takes the clipboard, and ends
# when the compositor goes away. sway runs as an unprivileged user (nobody
# when started as root). Exit 77: sway or wl-clipboard missing (skipped).
set -euo pipefail
HELPER=$(realpath "$1")
for tool in sway wl-paste wl-copy python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/zentrim-wayland.XXXXXX")
SWAY_PID='' HELPER_PID='' COPY_PID='' OURS_PID=''
cleanup() {
  local pid
  for pid in $COPY_PID $OURS_PID $HELPER_PID $SWAY_PID; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# wait_until SECONDS CMD...: polls CMD every 50 ms.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.05
  done
}
gone() { ! kill -0 "$1" 2>/dev/null || [[ $(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) == Z ]]; }

start_sway() {
  local as=()
  if ((EUID == 0)); then
    chown nobody "$WORK"
    as=(runuser -u nobody --)
  fi
  chmod 700 "$WORK"
  : >"$WORK/sway.conf"
  "${as[@]}" env -i HOME="$WORK" XDG_RUNTIME_DIR="$WORK" PATH=/usr/bin:/bin \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$WORK/sway.conf" >"$WORK/sway.log" 2>&1 &
  SWAY_PID=$!
  wait_until 10 test -S "$WORK/wayland-1" || fail "sway did not start: $(tail -n 3 "$WORK/sway.log")"
  export XDG_RUNTIME_DIR=$WORK WAYLAND_DISPLAY=wayland-1
}

# The hand-off: a small PNG-named file and a 5 MiB one (more than a pipe holds).
head -c 3000 /dev/urandom >"$WORK/png.bin"
head -c $((5 << 20)) /dev/urandom >"$WORK/bmp.bin"
python3 - "$WORK" <<'PY'
import struct, sys
d = sys.argv[1]
def target(name, path):
    data = open(path, 'rb').read()
    return struct.pack('<I', len(name)) + name + struct.pack('<Q', len(data)) + data
open(d + '/message', 'wb').write(b'ZSCLIP1\n' + struct.pack('<I', 2)
    + target(b'image/png', d + '/png.bin') + target(b'image/bmp', d + '/bmp.bin'))
PY

# The selection as the program leaves it: its marker type among its formats.
MARKER=application/x-zentrim-screen-00c0ffee00c0ffee
offers_marker() { wl-paste --list-types 2>/dev/null | grep -qx "$MARKER"; }
program_copies() {
  wl-copy --foreground -t "$MARKER" program >/dev/null 2>&1 &
  OURS_PID=$!
  wait_until 5 offers_marker || fail "the program's stand-in did not set the clipboard"
}

# start_helper ANSWER [ARGS...]: the helper, handed the message on a FIFO
# once ARGS are given to it, must give ANSWER as its last line.
answered() { grep -qvx received "$WORK/status"; }
start_helper() {
  local want=$1
  shift
  rm -f "$WORK/status" "$WORK/fifo"
  mkfifo "$WORK/fifo"
  "$HELPER" --wayland "$@" <"$WORK/fifo" >"$WORK/status" 2>"$WORK/helper.log" &
  HELPER_PID=$!
  if [[ -n ${DURING_HANDOFF:-} ]]; then "$DURING_HANDOFF"; fi
  cat "$WORK/message" >"$WORK/fifo"
  wait_until 5 answered || fail "no answer from the helper"
  [[ $(tail -n 1 "$WORK/status") == "$want" ]] ||
    fail "helper: $(tr '\n' ' ' <"$WORK/status") $(cat "$WORK/helper.log")"
}

start_sway

# Another client copies while the helper is being handed the picture: its
# copy stays and the helper ends.
pastes_other() { [[ $(wl-paste 2>/dev/null) == other ]]; }
other_copies() {
  echo other | wl-copy --foreground >/dev/null 2>&1 &
  COPY_PID=$!
  wait_until 5 pastes_other || fail "the other copy did not land"
}
program_copies
DURING_HANDOFF=other_copies start_helper gone --from "$MARKER"
wait_until 5 gone "$HELPER_PID" || fail "the helper that found the clipboard taken still runs"
[[ $(wl-paste) == other ]] || fail "the other client's copy was replaced: $(wl-paste --list-types)"
kill "$COPY_PID" "$OURS_PID" 2>/dev/null || true
COPY_PID='' OURS_PID=''

program_copies
start_helper owner --from "$MARKER"
wait_until 5 gone "$OURS_PID" || fail "the program's stand-in kept the clipboard"
OURS_PID=
types=$(wl-paste --list-types | tr '\n' ' ')
[[ $types == "image/png image/bmp " ]] || fail "offered: $types"
wl-paste -t image/png | cmp -s - "$WORK/png.bin" || fail "image/png differs"
wl-paste -t image/bmp | cmp -s - "$WORK/bmp.bin" || fail "image/bmp differs"
wl-paste -t image/bmp | cmp -s - "$WORK/bmp.bin" || fail "image/bmp differs the second time"

echo taken | wl-copy --foreground >/dev/null 2>&1 &
COPY_PID=$!
wait_until 5 gone "$HELPER_PID" || fail "the helper still runs after wl-copy took the clipboard"
[[ $(wl-paste) == taken ]] || fail "the clipboard does not hold wl-copy's text"
# Nothing to say on the way out (a sanitizer's report would land here).
[[ ! -s $WORK/helper.log ]] || fail "the helper wrote: $(head -n 5 "$WORK/helper.log")"
kill "$COPY_PID"
COPY_PID=

start_helper owner
kill "$SWAY_PID"
wait_until 5 gone "$HELPER_PID" || fail "the helper still runs after the compositor ended"
[[ ! -s $WORK/helper.log ]] || fail "the helper wrote: $(head -n 5 "$WORK/helper.log")"
echo "PASS wayland_check"
