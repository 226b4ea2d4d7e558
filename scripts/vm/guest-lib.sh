# shellcheck shell=bash
# Helpers of the checks inside the VM stage's guest. Source it with OUT set
# to the output folder shared with the host (9p, not cached: what the host
# writes there, the simulator's log and the answers to requests, is read
# fresh every time).

say() { echo "--- $*"; }
note() { echo "    $*"; }
fail() {
    echo "FAILED: $*"
    exit 1
}
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"

# The guest's clock in seconds since boot, for figures, and the seconds
# since such a reading.
uptime_s() { cut -d' ' -f1 /proc/uptime; }
since() { awk -v from="$1" -v now="$(uptime_s)" 'BEGIN { printf "%.2f", now - from }'; }


# request WORD: asks the host to act on the virtual machine ("pull": take the
# adapter out, "plug": put it back, "bounce": both at once) and waits for it
# to be done. Requests are
# numbered files in OUT/requests; the host answers each in OUT/answers with
# "ok ..." or what went wrong.
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

# The simulator's log the checks read: the first one, until restart_sim.
simlog="$OUT/meter-sim.log"
# restart_sim [OPTIONS]: the simulated meter started afresh (with a log of its
# own) and the adapter back in the guest.
restart_sim() {
    request sim "$@"
    simlog="$OUT/${last_answer##*log }"
    wait_for 30 test -e "$byid" || fail "$byid did not come back with the new simulator"
    wait_for 10 grep -qs ' START ' "$simlog" || fail "no log $simlog"
}

# The frames the simulated meter received, one a line without quotes or CR
# (the empty frame as an empty line); with a number, only those after that
# many "S" frames.
frames() {
    awk -v after="${1:-0}" '
        $2 == "RX" { f = substr($0, index($0, " RX ") + 4); f = substr(f, 2, length(f) - 2)
                     if (seen >= after) print f
                     if (f == "S") seen++ }' "$simlog"
}
joined() { paste -sd'|'; }
# Tests for wait_for, read afresh each time: at least N frames after the
# AFTER-th "S"; a frame F among them; the last of them F.
frames_at_least() { [ "$(frames "$1" | wc -l)" -ge "$2" ]; }
has_frame() { frames "$1" | grep -qxF -- "$2"; }
last_frame_is() { [ "$(frames "$1" | tail -n 1)" = "$2" ]; }

# How many lines the driven program has said that are exactly TEXT.
said() { grep -cxF -- "$1" "$OUT/driver.log" || true; }
# wait_said SECONDS TEXT [COUNT]: until it has said TEXT COUNT times (1).
has_said() { [ "$(said "$1")" -ge "$2" ]; }
wait_said() { wait_for "$1" has_said "$2" "${3:-1}"; }

# CPU time of a process in clock ticks, user and system.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
