# shellcheck shell=bash
# A client of QEMU's monitor protocol (QMP) for the VM stage, over the
# monitor's Unix socket through socat. Source it. Every line QEMU sends, the
# replies and the events between them, is appended to QMP_LOG.
#   qmp_open SOCKET               connect and leave the greeting's negotiation
#   qmp JSON                      send one command; prints its reply, and
#                                 returns 1 when QEMU answered with an error
#   qmp_await_event NAME SECONDS  wait for an event not yet waited for
#   QMP_LOG                       the log (a file: events are looked up in it)
# The connection is a coprocess: a pipeline's subshells do not have it, so
# capture a reply with $(qmp ...) before looking into it.
declare -A _qmp_seen=()

_qmp_read_line() {
    local line
    IFS= read -r -t "$1" line <&"${QMP[0]}" || return 1
    printf '%s\n' "$line" >>"$QMP_LOG"
    printf '%s\n' "$line"
}

qmp_open() {
    coproc QMP { exec socat - "UNIX-CONNECT:$1"; }
    _qmp_read_line 10 >/dev/null || return 1
    qmp '{"execute":"qmp_capabilities"}' >/dev/null
}

qmp() {
    local line deadline=$((SECONDS + 30))
    printf '%s\n' "$1" >>"$QMP_LOG"
    printf '%s\n' "$1" >&"${QMP[1]}"
    # Events may come between; the reply within 30 s all told.
    while [ "$SECONDS" -lt "$deadline" ] && line="$(_qmp_read_line 30)"; do
        case "$line" in
            '{"return"'*) printf '%s\n' "$line"; return 0 ;;
            '{"error"'*) printf '%s\n' "$line"; return 1 ;;
        esac
    done
    echo "qmp: no answer to $1" >&2
    return 1
}

# Events can come before the reply to the command that caused them: the log
# is searched first, counting only those not already waited for.
qmp_await_event() {
    local name="$1" deadline=$((SECONDS + $2)) count
    while :; do
        count="$(grep -c "\"event\": \"$name\"" "$QMP_LOG" || true)"
        if [ "$count" -gt "${_qmp_seen[$name]:-0}" ]; then
            _qmp_seen[$name]=$((${_qmp_seen[$name]:-0} + 1))
            return 0
        fi
        [ "$SECONDS" -lt "$deadline" ] || return 1
        _qmp_read_line 1 >/dev/null || true
    done
}
