# shellcheck shell=bash
# The VM stage's check of the permission remedies, sourced by guest-checks:
# --list-ports run by an account without privileges, made for the check, on
# real devices (the ACM meter, the FTDI adapter, the gadget's own end) whose
# group and mode are set as a system may have them. The remedy comes from the real device's group. Where the host's tree
# keeps the account from the program, it runs a copy on the guest's own file
# system.

account=qzcheck
account_group=qzmeters

# account_sees GROUPS STATUS DEVICE TEXT [DEVICE TEXT...]: --list-ports on
# these devices, run as the account with GROUPS (setpriv's option:
# --init-groups for a fresh login), ends with STATUS and says TEXT of each.
account_sees() {
    local groups="$1" status="$2" ports="" line i
    shift 2
    for ((i = 1; i <= $#; i += 2)); do ports="$ports${ports:+,}${!i}"; done
    note "as the account with $groups:"
    as_account=(setpriv --reuid="$account" --regid="$account" "$groups" env HOME=/tmp)
    ports_report --ports "$ports"
    as_account=()
    [ "$listed" -eq "$status" ] || fail "--list-ports ended with status $listed, not $status"
    while [ $# -gt 0 ]; do
        line="$(grep -E "^Comm[0-9]+: $1[ :]" <<<"$report")"
        [[ "$line" == *": $2" ]] || fail "--list-ports said '$line', not '$2' of $1"
        shift 2
    done
}
# set_owner DEVICE OWNER MODE
set_owner() {
    chown "$2" "$1" && chmod "$3" "$1" || fail "cannot give $1 to $2, mode $3"
    note "$1: $2, mode $3"
}

access() {
    say "permission on $tty, as an account without privileges"
    local program="$program" saved=() login frames_before udev ftdi_tty=/dev/ttyUSB0
    getent group "$account_group" >/dev/null || groupadd "$account_group" || fail "cannot add a group"
    id "$account" >/dev/null 2>&1 || useradd --user-group --no-create-home "$account" || fail "cannot add an account"
    if ! setpriv --reuid="$account" --regid="$account" --init-groups test -x "$program"; then
        program=/usr/local/bin/qz-ruvude-zivo
        install -m 0755 "$QZ_BUILD/src/qz-ruvude-zivo" "$program" || fail "cannot copy the program"
        note "the program copied to $program, where the account reaches it"
    fi
    gpasswd -d "$account" "$account_group" >/dev/null 2>&1
    login="--groups=$(id -G "$account" | tr ' ' ,)"
    local devices=("$tty" "$ftdi_tty" /dev/ttyGS0) device
    for device in "${devices[@]}"; do saved+=("$(stat -c '%U:%G %a' "$device")"); done
    frames_before="$(frames | wc -l)"
    udev=": ask your administrator for a udev rule that lets a group such as dialout use it)"
    # A group the account is not in; root's device; a group that may not use it.
    set_owner "$tty" "root:$account_group" 0660
    set_owner "$ftdi_tty" root:root 0600
    set_owner /dev/ttyGS0 root:dialout 0600
    account_sees --init-groups 1 \
        "$tty" "permission denied (it belongs to the group $account_group: sudo usermod -aG $account_group \$USER, \
then log out and in again, or newgrp $account_group for this shell)" \
        "$ftdi_tty" "permission denied (it belongs to root$udev" \
        /dev/ttyGS0 "permission denied (the group dialout may not use it$udev"
    # The account added to the group: not yet in this login, but in the next.
    usermod -aG "$account_group" "$account" || fail "cannot add the account to $account_group"
    account_sees "$login" 1 "$tty" \
        "permission denied (you are in the group $account_group, but this login is older than that: log out and in again)"
    account_sees --init-groups 0 "$tty" ok
    for device in "${devices[@]}"; do
        # shellcheck disable=SC2086 # (owner and mode)
        set_owner "$device" ${saved[0]}
        saved=("${saved[@]:1}")
    done
    [ "$(frames | wc -l)" -eq "$frames_before" ] || fail "--list-ports sent the meter: $(frames | tail -n 3 | joined)"
}
