# shellcheck shell=bash
# wait_for SECONDS COMMAND...: runs the command every 0.2 s until it
# succeeds; fails when SECONDS have gone by on the clock without that (however
# long each try takes: under emulation a try that starts a few programs can
# take longer than the pause between tries).
wait_for() {
    local end=$((${EPOCHREALTIME//[!0-9]/} + $1 * 1000000))
    shift
    until "$@"; do
        [ "${EPOCHREALTIME//[!0-9]/}" -lt "$end" ] || return 1
        sleep 0.2
    done
}
