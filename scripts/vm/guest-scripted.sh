# shellcheck shell=bash
# The VM stage's checks of scripted runs (--run) on the real driver, sourced
# by guest-checks: every action on the adapter's by-id name, a meter that
# talks once selected, the device pulled mid-sweep and plugged back, and
# SIGTERM mid-sweep. Each reads the meter's log from its own start on
# (fresh_log), so that it sees its own frames alone.

# run NAME PORTS: plays the script OUT/NAME.qz with --ports PORTS (with "-",
# on the program's own port map: neither --ports nor QZ_SERIAL_PORTS), with
# its trace, output and errors in OUT/NAME.*; its exit status in ran. A run
# that its timeout ended fails the step.
run() {
    run_program "$@"
    ! ran_out "$ran" || fail "the run of $1.qz did not end within 90 s (status $ran)"
}
# run_program NAME PORTS: the same, without judging the status (for a run in
# the background, whose status its step collects).
run_program() {
    local name="$1" ports=(--ports "$2")
    [ "$2" != - ] || ports=()
    shows "$name.out" "$name.err" "$name.trace"
    ran=0
    (unset QZ_SERIAL_PORTS
        QT_LOGGING_RULES='qt.qpa.*=false' "${bounded[@]}" 90 \
            "$program" --run "$OUT/$name.qz" "${ports[@]}" --trace "$OUT/$name.trace" \
            >"$OUT/$name.out" 2>"$OUT/$name.err") || ran=$?
}
script() { cat >"$OUT/$1.qz"; }

# The sweep positions the meter got, as numbers, one a line.
positions() { frames | sed -n 's/^N//p' | while read -r hex; do echo $((16#$hex)); done; }

# Every action of a script, on the by-id name, each frame as the meter got it.
scripted() {
    say "--run: every action on $byid"
    fresh_log
    script every <<'QZSCRIPT'
connect within 60
expect serial QZ1234
expect firmware 1.0?
left
right
cycle 3
calibration on
calibration off
scale simple
cycle
scale trad
sweep
wait 1
speed 100
wait 1
left
disconnect
QZSCRIPT
    run every "$byid"
    [ "$ran" -eq 0 ] || fail "the run ended with status $ran: $(tail -n 3 "$OUT/every.out" | joined)"
    grep -qE "^[0-9.]+ 17 end status=0 serial=QZ1234 firmware=1\.05 elapsed=" "$OUT/every.out" ||
        fail "no end line of a passed run: $(tail -n 1 "$OUT/every.out")"
    local got want
    got="$(frames | sed '/^N000$/q' | joined)"
    want="|H|H|V|S|N0C6|NF3A|N0C6|N238|N3AA|L|N3AA|S|N3AA|N632|N000"
    [ "$got" = "$want" ] || fail "the script sent $got, not $want"
    [ "$(frames | tail -n 2 | joined)" = "N0C6|I" ] || fail "the run did not end N0C6, I: $(frames | tail -n 2 | joined)"
    positions | awk 'NR > 1 && $1 - last == 100 { found = 1 } { last = $1 } END { exit !found }' ||
        fail "speed 100 did not make steps of 100"
    note "status 0, $(frames | grep -c '^N') positions, ended $(frames | tail -n 2 | joined)"
}

# A meter that talks once selected: its readings never hold back the last
# frames, R and U at the end of a run, I at Disconnect.
talking() {
    say "--run: a meter that talks after S"
    local last want
    restart_sim --talks
    for last in exit disconnect; do
        fresh_log
        printf 'connect within 60\nwait 1\n%s\n' "$last" | script "talks-$last"
        run "talks-$last" "$byid"
        [ "$ran" -eq 0 ] || fail "the run ended with status $ran"
        want="|H|H|V|S|R|U"
        [ "$last" = exit ] || want="|H|H|V|S|I"
        wait_for 10 last_frame_is 0 "${want##*|}" || true
        [ "$(frames | joined)" = "$want" ] || fail "$last sent $(frames | joined), not $want"
        ! grep -q ' RX "M,800' "$OUT/talks-$last.trace" || fail "the connected meter was read"
        note "$last: $(frames | joined)"
    done
}

# A scripted sweep whose device is pulled: status 1, the loss said, nothing
# sent after it; plugged back, the same name connects again.
scripted_pull() {
    say "--run: $tty pulled mid-sweep"
    fresh_log
    printf 'connect within 60\nsweep\nwait 60\n' | script pulled
    (run_program pulled "$byid"
        exit "$ran") &
    local runner=$! ended status=0
    background "$runner"
    wait_for 60 frames_at_least 1 8 || fail "the scripted sweep did not start"
    "${pull_cmd[@]}"
    wait "$runner" || status=$?
    ! ran_out "$status" || fail "the pulled run did not end within 90 s (status $status)"
    [ "$status" -eq 1 ] || fail "the pulled run exited with status $status, not 1"
    ended="$(grep -o ' end status=[0-9]*' "$OUT/pulled.out")"
    [ "$ended" = " end status=1" ] || fail "the pulled run ended with '$ended'"
    grep -qF "Lost the meter on Comm1 ($byid)" "$OUT/pulled.err" || fail "the loss is not on standard error"
    [ -z "$(sed -n '/ LOST /,$p' "$OUT/pulled.trace" | grep ' TX ')" ] || fail "frames were sent after the loss"
    note "ended with status 1, the loss on standard error"
    "${plug_cmd[@]}"
    wait_for 30 test -e "$byid" || fail "$byid did not come back"
    printf 'connect within 60\nexpect serial QZ1234\ndisconnect\n' | script replugged
    run replugged "$byid"
    [ "$ran" -eq 0 ] || fail "after the replug the run ended with status $ran"
    note "after the replug: $(grep -o 'found Comm1 .*' "$OUT/replugged.out")"
}

# SIGTERM in the middle of a scripted sweep: R and U, status 143.
scripted_sigterm() {
    say "--run: SIGTERM mid-sweep"
    fresh_log
    printf 'connect within 60\nsweep\nwait 60\n' | script terminated
    shows terminated.out terminated.err
    QT_LOGGING_RULES='qt.qpa.*=false' QZ_SERIAL_PORTS='' "${bounded[@]}" 90 \
        "$program" --run "$OUT/terminated.qz" --ports "$byid" >"$OUT/terminated.out" 2>"$OUT/terminated.err" &
    local runner=$! status=0
    background "$runner"
    wait_for 60 frames_at_least 1 8 || fail "the scripted sweep did not start"
    kill -TERM "$runner"
    wait "$runner" || status=$?
    ! ran_out "$status" || fail "the run did not end within 90 s (status $status)"
    [ "$status" -eq 143 ] || fail "status $status after SIGTERM, not 143"
    wait_for 10 last_frame_is 1 U || fail "the last frame is not U: $(frames 1 | tail -n 3 | joined)"
    [ "$(frames 1 | tail -n 3 | cut -c1 | joined)" = "N|R|U" ] || fail "the sweep did not end N..., R, U"
    note "status 143, ended $(frames 1 | tail -n 3 | joined)"
}
