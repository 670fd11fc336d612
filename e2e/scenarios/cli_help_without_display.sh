# shellcheck shell=bash
# --help and --version answer without any display (exit 0); an unknown
# option gives a one-line error and the usage, and exit status 2.

# no_display CMD...: CMD without a display or a chosen Qt platform.
no_display() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

scenario() {
  local out rc=0
  out=$(no_display "$APP" --help) || fail "--help exited with status $?"
  [[ $out == "Usage: zentrim-screen [options] [FILE]"* ]] || fail "--help printed: ${out:0:200}"
  local option
  for option in --capture --verbose --version FILE; do
    grep -q -- "$option" <<<"$out" || fail "--help does not mention $option"
  done
  out=$(no_display "$APP" --version) || fail "--version exited with status $?"
  [[ $out =~ ^zentrim-screen\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed: $out"

  out=$(no_display "$APP" --no-such-option 2>&1 >/dev/null) || rc=$?
  assert_eq 2 "$rc" "exit status after an unknown option"
  assert_eq "zentrim-screen: Unknown option 'no-such-option'." "$(head -n 1 <<<"$out")" "the error line"
  assert_eq "Usage: zentrim-screen [options] [FILE]" "$(sed -n 2p <<<"$out")" "the usage line"
}
