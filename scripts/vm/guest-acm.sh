# shellcheck shell=bash
# The VM stage's CDC-ACM meter, sourced by guest-checks: a meter with native
# USB, as the kernel's cdc_acm drives it. dummy_hcd gives the guest a USB
# device controller wired to a host controller of its own; a gadget made
# through configfs (libcomposite) with one ACM function plugs into it, with a
# fixed maker, product and serial number, so that udev's by-id name is known.
# The host side of the guest sees /dev/ttyACM0; the simulator answers on the
# gadget's end, /dev/ttyGS0. Unbinding the gadget from its controller pulls
# the device; binding it again plugs it back.

gadget=/sys/kernel/config/usb_gadget/qzmeter
acm_serial=QZACM001
acm_byid="/dev/serial/by-id/usb-Driftmark_Panel_Meter_${acm_serial}-if00"
udc=""
acm_sim_job=""

# acm_sim: the simulated meter on the gadget's end, for the rest of the run
# (it opens its end afresh after each unbinding); acm_sim_stop ends it after
# the last step, and it must end then with status 0.
acm_sim() {
    simlog="$OUT/meter-sim-acm.log"
    simlog_from=1
    shows "${simlog##*/}" meter-sim-acm.err
    "${bounded[@]}" "$QZ_VM_GUEST_SECONDS" "$sim" --device /dev/ttyGS0 --log "$simlog" \
        >/dev/null 2>"$OUT/meter-sim-acm.err" &
    acm_sim_job=$!
    background "$acm_sim_job"
    wait_for 10 grep -qs ' START ' "$simlog" || fail "meter-sim did not start on /dev/ttyGS0"
}
acm_sim_stop() {
    [ -n "$acm_sim_job" ] || return 0
    local status=0
    kill -TERM "$acm_sim_job"
    wait "$acm_sim_job" || status=$?
    acm_sim_job=""
    [ "$status" -eq 0 ] ||
        fail "meter-sim on /dev/ttyGS0 ended with status $status: $(tail -n 2 "$OUT/meter-sim-acm.err" | joined)"
}
gadget_unbind() {
    echo "" >"$gadget/UDC" || fail "cannot unbind the gadget"
    note "gadget unbound from $udc"
}
gadget_bind() {
    echo "$udc" >"$gadget/UDC" || fail "cannot bind the gadget to $udc"
    note "gadget bound to $udc"
}

# The gadget made and plugged in: /dev/ttyACM0 under cdc_acm with its by-id
# name, the meter on /dev/ttyGS0. From here on it is the device under test.
acm_gadget() {
    say "CDC-ACM: a USB gadget with an ACM function on dummy_hcd"
    local module driver
    for module in dummy_hcd libcomposite usb_f_acm; do
        modprobe "$module" || fail "cannot load $module"
    done
    mountpoint -q /sys/kernel/config || mount -t configfs configfs /sys/kernel/config ||
        fail "cannot mount configfs"
    udc="$(ls /sys/class/udc)"
    [ "$udc" = dummy_udc.0 ] || fail "the device controllers are '$udc', not dummy_udc.0"
    mkdir -p "$gadget/strings/0x409" "$gadget/configs/c.1" "$gadget/functions/acm.meter" ||
        fail "cannot make the gadget in configfs"
    echo 0x1d6b >"$gadget/idVendor"
    echo 0x0104 >"$gadget/idProduct"
    echo "$acm_serial" >"$gadget/strings/0x409/serialnumber"
    echo Driftmark >"$gadget/strings/0x409/manufacturer"
    echo "Panel Meter" >"$gadget/strings/0x409/product"
    ln -s "$gadget/functions/acm.meter" "$gadget/configs/c.1/" || fail "cannot put the ACM function in"
    wait_for 10 test -c /dev/ttyGS0 || fail "no /dev/ttyGS0"
    kind=acm
    acm_sim
    gadget_bind
    wait_for 30 test -e "$acm_byid" || fail "no $acm_byid"
    tty=/dev/ttyACM0
    byid="$acm_byid"
    pull_cmd=(gadget_unbind)
    plug_cmd=(gadget_bind)
    [ "$(readlink -f "$byid")" = "$tty" ] || fail "$byid leads to $(readlink -f "$byid"), not $tty"
    driver="$(basename "$(readlink "/sys/class/tty/ttyACM0/device/driver")")"
    [ "$driver" = cdc_acm ] || fail "$tty is driven by '$driver', not cdc_acm"
    note "$tty under $driver, owner $(stat -c %U:%G "$tty"), mode $(stat -c %a "$tty"); by-id $byid"
}

# The program's own port map: USB serial adapters first, then ACM devices,
# then the guest's console; the ACM meter under cdc_acm with its by-id name.
acm_ports() {
    say "--list-ports on the program's own port map"
    ports_report
    [ "$listed" -eq 0 ] || fail "--list-ports ended with status $listed"
    grep -qE "^Comm1: /dev/ttyUSB0 \(.*, driver ftdi_sio\): ok$" <<<"$report" ||
        fail "Comm1 is not the FTDI adapter /dev/ttyUSB0"
    grep -qE "^Comm2: $tty \(Panel Meter, Driftmark, serial $acm_serial, 1d6b:0104, driver cdc_acm\): ok$" \
        <<<"$report" || fail "Comm2 is not the ACM meter $tty under cdc_acm"
    [ "$(byid_under | grep "^$tty ")" = "$tty $byid" ] || fail "$tty is not listed with its by-id name"
    grep -qE '^Comm([3-9]|1[0-6]): /dev/ttyS0[: ]' <<<"$report" || fail "the console /dev/ttyS0 is not listed after them"
    ! grep -qE '^Comm[0-9]+: /dev/ttyGS0[: ]' <<<"$report" || fail "the gadget's own end /dev/ttyGS0 is listed"
    [ -z "$(frames)" ] || fail "--list-ports sent the meter: $(frames | joined)"
}

# A search over the program's own port map with the FTDI adapter's meter
# silent: Comm1 is searched and left, the meter found on Comm2, and LEFT,
# SWEEP and Exit reach it exactly.
acm_search() {
    say "a search over the program's own map finds the meter on $tty"
    local silent got want sweeps
    ftdi_sim --silent
    silent="$ftdi_log"
    printf 'connect within 60\nleft\nsweep\nwait 1\nexit\n' | script search
    run search -
    [ "$ran" -eq 0 ] || fail "the run ended with status $ran: $(tail -n 2 "$OUT/search.out" | joined)"
    grep -qE "^[0-9.]+ 1 found Comm2 $tty serial=QZ1234 firmware=1\.05$" "$OUT/search.out" ||
        fail "the meter was not found on Comm2 $tty: $(grep found "$OUT/search.out")"
    [ "$(frames 0 "$silent" | joined)" = "|H|H|V" ] ||
        fail "the silent meter on Comm1 got $(frames 0 "$silent" | joined), not the empty frame, H, H, V"
    # The empty frame, H, H, V, S, LEFT's N0C6, the sweep from N000 in steps
    # of 54 for as long as it ran, then Exit's R, U.
    got="$(frames | joined)"
    sweeps=$(($(frames | wc -l) - 8))
    [ "$sweeps" -ge 5 ] || fail "the sweep sent $sweeps positions: $got"
    want="|H|H|V|S|N0C6|$(for k in $(seq 0 $((sweeps - 1))); do printf 'N%03X\n' $((k * 54)); done | joined)|R|U"
    [ "$got" = "$want" ] || fail "the meter got $got, not $want"
    note "Comm1 got $(frames 0 "$silent" | joined); the ACM meter got LEFT, $sweeps sweep steps, R, U"
    fresh_log
}
