# shellcheck shell=bash
# The VM stage's two adapters that swap, sourced by guest-checks: the first
# FTDI adapter (serial number QZ_VM_SERIAL) with a meter that says QZA, and a
# second one (QZ_VM_SERIAL_B, "adapterB" to the host) with its own meter, QZB,
# on a pseudo-terminal and simulator of its own. Both pulled and plugged back
# in the other order swap ttyUSB0 and ttyUSB1: the by-id name still finds
# meter QZA, /dev/ttyUSB0 no longer does.

# The by-id name each ttyUSB device is listed with by --list-ports on the
# program's own map must be WANT ("DEVICE BY-ID-NAME" lines).
usb_names_are() {
    ports_report
    [ "$(byid_under | grep '^/dev/ttyUSB')" = "$1" ] ||
        fail "--list-ports lists $(byid_under | grep '^/dev/ttyUSB' | joined), not $(joined <<<"$1")"
}
# expect_qza NAME PORTS STATUS: a run on PORTS that expects meter QZA ends
# with STATUS.
expect_qza() {
    printf 'connect within 60\nexpect serial QZA\ndisconnect\n' | script "$1"
    run "$1" "$2"
    [ "$ran" -eq "$3" ] || fail "the run on $2 ended with status $ran, not $3: $(tail -n 1 "$OUT/$1.out")"
    note "on $2: $(grep -o 'end status=.*' "$OUT/$1.out")"
}
# unplugged ID: the adapter pulled, and gone from the guest.
unplugged() {
    request pull "$1"
    wait_for 30 test ! -e "${byids[$1]}" || fail "${byids[$1]} is still there"
}
# plugged ID DEVICE: the adapter plugged in and enumerated as DEVICE.
plugged() {
    request plug "$1"
    wait_for 30 test -e "${byids[$1]}" || fail "${byids[$1]} did not come"
    [ "$(readlink -f "${byids[$1]}")" = "$2" ] || fail "${byids[$1]} came as $(readlink -f "${byids[$1]}"), not $2"
}

swap() {
    say "two adapters that swap"
    declare -gA byids=([adapter]="$ftdi_byid"
        [adapterB]="/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_${QZ_VM_SERIAL_B}-if00-port0")
    local a="${byids[adapter]}" b="${byids[adapterB]}"
    shows meter-sim-B.log
    ftdi_sim --serial QZA
    [ "$(readlink -f "$a")" = /dev/ttyUSB0 ] || fail "$a is $(readlink -f "$a"), not /dev/ttyUSB0"
    plugged adapterB /dev/ttyUSB1
    usb_names_are "$(printf '/dev/ttyUSB0 %s\n/dev/ttyUSB1 %s' "$a" "$b")"
    expect_qza swap-byid-before "$a" 0
    unplugged adapter
    unplugged adapterB
    plugged adapterB /dev/ttyUSB0
    plugged adapter /dev/ttyUSB1
    usb_names_are "$(printf '/dev/ttyUSB0 %s\n/dev/ttyUSB1 %s' "$b" "$a")"
    expect_qza swap-byid-after "$a" 0
    expect_qza swap-usb0-after /dev/ttyUSB0 1
    grep -qF 'reason="serial QZB does not match QZA"' "$OUT/swap-usb0-after.out" ||
        fail "the run on /dev/ttyUSB0 did not fail on meter QZB"
}
