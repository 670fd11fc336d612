# shellcheck shell=bash
# A PDF printer for the printing tests: starts the CUPS scheduler when it is
# not running and sets up a queue whose output is a PDF file (cups-pdf).
# The system's default printer is never changed: only the program under test
# is pointed at the queue, through $PRINTER.
#
#   cups_start [LOG]         start cupsd unless it already runs (needs root),
#                            logging to LOG (default: in $E2E_TMP, or a new
#                            temporary file); in a scenario registers
#                            cups_stop as a clean-up
#   cups_stop                undo what this shell did: remove the queues
#                            cups_pdf_queue created, stop the cupsd that
#                            cups_start started
#   cups_pdf_queue [NAME]    create (unless there) and enable the queue
#                            (default zentrim-pdf)
#   cups_pdf_outdir          the directory cups-pdf writes this user's PDFs to
#   cups_pdf_mark FILE       remember "now" (for cups_pdf_wait_new)
#   cups_pdf_wait_new FILE TIMEOUT_S
#                            wait until a PDF has been written since the mark
#                            and every job on the queue has finished, and
#                            print the newest such PDF
#   cups_pdf_selftest        print a small picture and rasterise the PDF
#   use_pdf_printer          in a scenario: cups_pdf_queue and export
#                            PRINTER naming it, or fail
#   cups_default_printer     the default destination as lpstat -d reports
#                            it to this user and without the user's options,
#                            whatever this shell's environment
#
# Sourced by a scenario that prints (e2e_use printing) and by scripts/test.sh;
# needs no other helper, and outside a scenario its caller undoes what it
# did with cups_stop.

CUPS_PDF_QUEUE=${CUPS_PDF_QUEUE:-zentrim-pdf}
CUPS_PDF_CONF=${CUPS_PDF_CONF:-/etc/cups/cups-pdf.conf}
# What this shell started or made, and only that, is stopped or removed:
# never a value from the environment.
CUPSD_PID=
CUPS_OWN_QUEUES=()

_cups_log() { printf '[cups] %s\n' "$*" >&2; }

_cups_poll() { # _cups_poll TIMEOUT_S CMD...: every 50 ms until CMD succeeds
  local tries=$(($1 * 20))
  shift
  while ((tries-- > 0)); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

# The scheduler of this system answers on its local socket. One reached only
# over the network, such as a host's seen from a chroot or container that
# shares its network, does not count: it refuses our lpadmin, and its PDFs
# would land in the other system's files. Once our own scheduler runs, the
# CUPS commands prefer that socket by themselves.
CUPS_SOCKET=${CUPS_SOCKET:-/run/cups/cups.sock}
cups_running() { [[ -S $CUPS_SOCKET ]] && lpstat -h "$CUPS_SOCKET" -r 2>/dev/null | grep -q 'is running'; }

# shellcheck disable=SC2120 # scripts/test.sh passes the log
cups_start() {
  if cups_running; then
    return 0
  fi
  if ((EUID != 0)); then
    _cups_log "the CUPS scheduler is not running and starting it needs root (sudo cupsd)"
    return 1
  fi
  mkdir -p /run/cups /var/spool/cups /var/log/cups
  # A scenario's log goes with its other files (and its artifacts).
  local log=${1:-}
  if [[ -z $log && -n ${E2E_TMP:-} ]]; then
    log=$E2E_TMP/zentrim-cupsd.log
  elif [[ -z $log ]]; then
    log=$(mktemp "${TMPDIR:-/tmp}/zentrim-cupsd.XXXXXX") || return 1
  fi
  # -f keeps it in the foreground so that its PID is ours to stop later;
  # in a session of its own (setsid execs in place here) Ctrl+C does not
  # reach it, so that it still runs to remove our queue in the clean-up.
  setsid /usr/sbin/cupsd -f >"$log" 2>&1 &
  CUPSD_PID=$!
  _cups_undo_in_cleanup
  if ! _cups_poll 15 cups_running; then
    _cups_log "cupsd did not come up: $(tail -n 5 "$log" 2>/dev/null)"
    return 1
  fi
  _cups_log "started cupsd (pid $CUPSD_PID)"
}

# In a scenario what cups_start and cups_pdf_queue did is undone by the
# scenario's clean-up.
_cups_undo_in_cleanup() {
  if declare -F e2e_on_cleanup >/dev/null; then e2e_on_cleanup cups_stop; fi
}

cups_stop() {
  local queue
  for queue in "${CUPS_OWN_QUEUES[@]}"; do
    lpadmin -x "$queue" 2>/dev/null || _cups_log "could not remove the queue $queue"
  done
  CUPS_OWN_QUEUES=()
  [[ -n $CUPSD_PID ]] || return 0
  if kill -0 "$CUPSD_PID" 2>/dev/null; then
    kill -TERM "$CUPSD_PID" 2>/dev/null || true
    wait "$CUPSD_PID" 2>/dev/null || true
  fi
  CUPSD_PID=
}

# The user's default (lpoptions files first) and the scheduler's own.
cups_default_printer() {
  printf 'user: %s; ' "$(env -u PRINTER -u LPDEST lpstat -d 2>&1)"
  printf 'scheduler: %s\n' "$(env -u PRINTER -u LPDEST HOME=/nonexistent lpstat -d 2>&1)"
}

_cups_pdf_ppd() {
  lpinfo -m 2>/dev/null | awk '
    $1 ~ /CUPS-PDF_opt\.ppd$/ { opt = $1 }
    $1 ~ /CUPS-PDF_noopt\.ppd$/ { noopt = $1 }
    END { if (opt != "") print opt; else if (noopt != "") print noopt; else exit 1 }'
}

cups_pdf_queue() {
  local queue=${1:-$CUPS_PDF_QUEUE}
  # shellcheck disable=SC2119 # the log's default place
  cups_start || return 1
  if ! lpstat -p "$queue" >/dev/null 2>&1; then
    local ppd
    ppd=$(_cups_pdf_ppd) || {
      _cups_log "no cups-pdf driver found (apt-get install printer-driver-cups-pdf)"
      return 1
    }
    # lpadmin warns that drivers are deprecated; cups-pdf still needs one.
    lpadmin -p "$queue" -v cups-pdf:/ -m "$ppd" -E -o printer-is-shared=false 2>&1 |
      grep -v 'drivers are deprecated' >&2 || true
    lpstat -p "$queue" >/dev/null 2>&1 || { _cups_log "could not create queue $queue"; return 1; }
    CUPS_OWN_QUEUES+=("$queue")
    _cups_undo_in_cleanup
  fi
  cupsenable "$queue" && cupsaccept "$queue"
}

# cups-pdf writes to the "Out" directory of its configuration, in which
# ${HOME} and ${USER} stand for the owner of the job (the user who ran lp,
# looked up in the password database, so a changed $HOME does not matter).
cups_pdf_outdir() {
  local user home out
  user=$(id -un)
  home=$(getent passwd "$user" | cut -d: -f6)
  out=$(awk '$1 == "Out" { $1 = ""; sub(/^ +/, ""); v = $0 } END { print v }' "$CUPS_PDF_CONF" 2>/dev/null)
  # shellcheck disable=SC2016 # literal placeholders of cups-pdf.conf
  local home_mark='${HOME}' user_mark='${USER}'
  [[ -n $out ]] || out="/var/spool/cups-pdf/$user_mark"
  out=${out//"$home_mark"/$home}
  out=${out//"$user_mark"/$user}
  printf '%s\n' "$out"
}

cups_pdf_mark() { : >"$1"; }

# use_pdf_printer: for a scenario that prints: the PDF queue is there, or
# the scenario fails; the program started afterwards prints to it by
# default. CUPS, and Qt through it, take the default from $LPDEST before
# $PRINTER: a developer's LPDEST must not win.
use_pdf_printer() {
  cups_pdf_queue "$CUPS_PDF_QUEUE" || fail "no CUPS PDF queue"
  unset LPDEST
  export PRINTER=$CUPS_PDF_QUEUE
}

_cups_queue_idle() { [[ -z $(lpstat -o "$1" 2>/dev/null) ]]; }

_cups_new_pdf() { # _cups_new_pdf MARK: newest PDF in the output dir newer than MARK
  local dir
  dir=$(cups_pdf_outdir)
  find "$dir" -maxdepth 1 -name '*.pdf' -newer "$1" -printf '%T@ %p\n' 2>/dev/null |
    sort -n | tail -n 1 | cut -d' ' -f2-
}

_cups_new_pdf_done() { # MARK QUEUE: a new PDF is there and the queue is idle
  [[ -n $(_cups_new_pdf "$1") ]] && _cups_queue_idle "$2"
}

# The program may hand in its job a while after the click that asked for it
# (a slow, sanitized build takes seconds), so an idle queue alone does not
# mean the job has been and gone: wait for its PDF too.
cups_pdf_wait_new() {
  local mark=$1 timeout=${2:-30} queue=${3:-$CUPS_PDF_QUEUE} file
  if ! _cups_poll "$timeout" _cups_new_pdf_done "$mark" "$queue"; then
    if _cups_queue_idle "$queue"; then
      _cups_log "no new PDF in $(cups_pdf_outdir) after ${timeout}s"
    else
      _cups_log "jobs still pending on $queue after ${timeout}s: $(lpstat -o "$queue")"
    fi
    return 1
  fi
  file=$(_cups_new_pdf "$mark")
  printf '%s\n' "$file"
}

_cups_page_has() { # _cups_page_has PNG COLOUR: at least 2% of the page is COLOUR
  local share
  share=$(/usr/bin/convert "$1" -fuzz 20% -fill black +opaque "$2" -fill white -opaque "$2" \
    -colorspace gray -format '%[fx:mean]' info:) || return 1
  awk -v s="$share" 'BEGIN { exit !(s >= 0.02) }'
}

# cups_pdf_selftest: prints a two-colour picture on the PDF queue and checks
# that a PDF comes out and that pdftoppm can turn it back into pixels.
cups_pdf_selftest() {
  local queue=${1:-$CUPS_PDF_QUEUE} dir pdf
  dir=$(mktemp -d "${TMPDIR:-/tmp}/zentrim-cups-check.XXXXXX")
  /usr/bin/convert -size 200x100 xc:'#FF0000' -fill '#0000FF' -draw 'rectangle 50,25 149,74' "$dir/in.png" &&
    cups_pdf_mark "$dir/mark" &&
    lp -d "$queue" -t zentrim-selftest "$dir/in.png" >/dev/null &&
    pdf=$(cups_pdf_wait_new "$dir/mark" 60 "$queue") &&
    pdftoppm -r 20 -png -singlefile "$pdf" "$dir/page" &&
    _cups_page_has "$dir/page.png" '#FF0000' && _cups_page_has "$dir/page.png" '#0000FF'
  local rc=$?
  if ((rc == 0)); then
    _cups_log "PDF queue $queue works: $pdf"
    rm -f "$pdf"
  else
    _cups_log "PDF queue $queue did not produce a readable PDF (work files in $dir)"
    return 1
  fi
  rm -rf "$dir"
}
