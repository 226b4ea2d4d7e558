# shellcheck shell=bash
# wait_for SECONDS COMMAND...: runs the command every 0.1 s until it
# succeeds; fails when SECONDS have gone by without that.
wait_for() {
    local tries=$(($1 * 10))
    shift
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}
