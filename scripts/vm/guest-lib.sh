# shellcheck shell=bash
# Helpers of the checks inside the VM stage's guest. Source it with OUT set
# to the output folder shared with the host (9p, not cached: what the host
# writes there, the simulator's log and the answers to requests, is read
# fresh every time).

# The step that is running, "N NAME" (its place in the run and its name:
# some names run twice), set by guest-checks and named in every failure.
step=""
exit_said=""  # set once the reason for a stop has been said
say() { echo "--- $*"; }
note() { echo "    $*"; }
fail() {
    echo "FAILED${step:+ in step $step}: $*"
    exit_said=1
    exit 1
}
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"

# shows FILE...: files in OUT (by name) whose ends the stage prints when this
# step fails: the logs it made and the ones it reads.
shows() { printf '%s\n' "$@" >>"$OUT/step.files"; }

# "${bounded[@]}" SECONDS COMMAND...: every run of the program and of the
# simulator inside the guest ends within its time (KILL 5 s after the TERM;
# ran_out tells those statuses). It stays in the checks' process group,
# so the guest-wide deadline ends it too. (Not a function: started in the
# background, $! is then the timeout itself, which passes a TERM on to the
# program, where a function would leave a subshell between them.)
bounded=(timeout --foreground --kill-after=5)
ran_out() { [ "$1" -eq 124 ] || [ "$1" -eq 137 ]; }
# The process a bounded run started in the background (its timeout's child).
child_of() { cat "/proc/$1/task/$1/children" 2>/dev/null | cut -d' ' -f1; }
# background PID: a run started in the background, ended with everything it
# started when the checks end (kill_tree), whether its step collected it or not.
background_pids=()
background() { background_pids+=("$1"); }
kill_tree() {
    local child
    for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do kill_tree "$child"; done
    kill -KILL "$1" 2>/dev/null
}

# The guest's clock in seconds since boot, for figures, and the seconds
# since such a reading.
uptime_s() { cut -d' ' -f1 /proc/uptime; }
since() { awk -v from="$1" -v now="$(uptime_s)" 'BEGIN { printf "%.2f", now - from }'; }


# request WORD...: asks the host to act on the virtual machine ("pull [ID]":
# take an adapter out, "plug [ID]": put it back, "bounce": both at once, for
# the first adapter; ID "adapterB" is the second one) and waits for it to be
# done. Requests are numbered files in OUT/requests; the host answers each in
# OUT/answers with "ok ..." or what went wrong.
_requests=0
request() {
    _requests=$((_requests + 1))
    local n=$_requests answer
    mkdir -p "$OUT/requests"
    printf '%s\n' "$*" >"$OUT/requests/.$n"
    mv "$OUT/requests/.$n" "$OUT/requests/$n"
    wait_for 60 test -s "$OUT/answers/$n" || fail "the host did not answer '$*'"
    answer="$(cat "$OUT/answers/$n")"
    case "$answer" in
        ok*) note "host: $* $answer" ;;
        *) fail "the host could not $*: $answer" ;;
    esac
    last_answer="$answer"
}

# The simulator's log the checks read (the first one, until restart_sim),
# from line simlog_from on (fresh_log).
simlog="$OUT/meter-sim.log"
simlog_from=1
# restart_sim [OPTIONS]: the first FTDI adapter's simulated meter started
# afresh with these options, and its new log the one the checks read.
restart_sim() {
    ftdi_sim "$@"
    simlog="$ftdi_log"
    simlog_from=1
}
# fresh_log: the checks read the meter's log from here on, so that a check
# sees its own frames alone.
fresh_log() {
    simlog_from=$(($(wc -l <"$simlog") + 1))
    shows "${simlog##*/}"
}
# ftdi_sim [OPTIONS]: the host's simulator behind the first FTDI adapter
# started afresh, and the adapter enumerated anew (the host pulls it first
# and plugs it back with the new meter); its new log in ftdi_log.
ftdi_sim() {
    local before
    before="$(usb_devnum "$ftdi_byid")"
    request sim "$@"
    ftdi_log="$OUT/${last_answer##*log }"
    shows "${ftdi_log##*/}"
    wait_for 30 enumerated_anew "$ftdi_byid" "$before" ||
        fail "$ftdi_byid did not come back with the new simulator"
}
# The USB device number of the device a terminal's name leads to; it
# changes with every enumeration, so a replug is told from a device that
# has not gone yet.
usb_devnum() {
    local d
    d="$(readlink -f "/sys/class/tty/$(basename "$(readlink -f "$1")")/device")"
    while [ "${#d}" -gt 4 ] && ! [ -f "$d/devnum" ]; do d="${d%/*}"; done
    cat "$d/devnum" 2>/dev/null
}
enumerated_anew() { local now; now="$(usb_devnum "$1")" && [ -n "$now" ] && [ "$now" != "$2" ]; }

# The frames the simulated meter received, one a line without quotes or CR
# (the empty frame as an empty line); with a number, only those after that
# many "S" frames; with a second argument, from that whole log.
frames() {
    local from="$simlog_from"
    [ -z "${2:-}" ] || from=1
    tail -n "+$from" "${2:-$simlog}" | awk -v after="${1:-0}" '
        $2 == "RX" { f = substr($0, index($0, " RX ") + 4); f = substr(f, 2, length(f) - 2)
                     if (seen >= after) print f
                     if (f == "S") seen++ }'
}
joined() { paste -sd'|'; }
# Tests for wait_for, read afresh each time: at least N frames after the
# AFTER-th "S"; a frame F among them; the last of them F.
frames_at_least() { [ "$(frames "$1" | wc -l)" -ge "$2" ]; }
has_frame() { frames "$1" | grep -qxF -- "$2"; }
last_frame_is() { [ "$(frames "$1" | tail -n 1)" = "$2" ]; }

# How many lines the driven window has said that are exactly TEXT.
said() { grep -cxF -- "$1" "$OUT/window-$kind.log" || true; }
# wait_said SECONDS TEXT [COUNT]: until it has said TEXT COUNT times (1).
has_said() { [ "$(said "$1")" -ge "$2" ]; }
wait_said() { wait_for "$1" has_said "$2" "${3:-1}"; }

# CPU time of a process in clock ticks, user and system.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# holds_lock DEVICE PID: /proc/locks has PID's flock on that very device
# (named by the device number of its file system, in hex, and its inode).
holds_lock() {
    local dev ino id
    read -r dev ino <<<"$(stat -L -c "%D %i" "$1")"
    dev=$((16#$dev))
    id="$(printf '%02x:%02x:%s' $(((dev >> 8) & 0xfff)) $(((dev & 0xff) | ((dev >> 12) & 0xfff00))) "$ino")"
    grep -qE "^[0-9]+: FLOCK +ADVISORY +WRITE +$2 +$id " /proc/locks
}

# ports_report [OPTIONS...]: --list-ports (on the program's own port map
# without options), with its exit status in listed; printed indented. It runs
# as root, or through the command in as_account.
as_account=()
ports_report() {
    listed=0
    report="$(unset QZ_SERIAL_PORTS; "${bounded[@]}" 30 "${as_account[@]}" "$program" --list-ports "$@")" || listed=$?
    sed 's/^/    /' <<<"$report"
    ! ran_out "$listed" || fail "--list-ports did not end within 30 s"
}
# The stable by-id names of the report, each after the device it is listed
# under: "DEVICE BY-ID-NAME", one a line.
byid_under() {
    awk '/^Comm[0-9]+: / { device = $2; sub(/:$/, "", device) }
         /^    also \/dev\/serial\/by-id\// { print device, $2 }' <<<"$report"
}
