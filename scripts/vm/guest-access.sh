# shellcheck shell=bash
# The VM stage's check of the permission remedies, sourced by guest-checks:
# --list-ports run by an account without privileges, made for the check, on
# the device under test whose group and mode are set as a system may have
# them. The remedy comes from the real device's group; the program is copied
# to the guest's own file system, so that the account reaches it whatever the
# permissions of the host's tree.

account=qzcheck
account_group=qzmeters

# account_sees OWNER MODE GROUPS STATUS TEXT: with the device chown'ed OWNER and
# chmod'ed MODE, --list-ports as the account with GROUPS (setpriv's option:
# --init-groups for a fresh login) ends with STATUS and says TEXT of it.
account_sees() {
    chown "$1" "$tty" && chmod "$2" "$tty" || fail "cannot give $tty to $1, mode $2"
    note "$tty $1 $2, the account's groups $3:"
    as_account=(setpriv --reuid="$account" --regid="$account" "$3" env HOME=/tmp)
    ports_report --ports "$tty"
    as_account=()
    local line
    line="$(grep "^Comm1: $tty " <<<"$report")"
    [ "$listed" -eq "$4" ] || fail "--list-ports ended with status $listed, not $4"
    [ "${line#*): }" = "$5" ] || fail "--list-ports said '${line#*): }', not '$5'"
}

access() {
    say "permission on $tty, as an account without privileges"
    local program="/usr/local/bin/qz-ruvude-zivo" saved login frames_before udev
    install -m 0755 "$QZ_BUILD/src/qz-ruvude-zivo" "$program" || fail "cannot copy the program"
    getent group "$account_group" >/dev/null || groupadd "$account_group" || fail "cannot add a group"
    id "$account" >/dev/null 2>&1 || useradd --user-group --no-create-home "$account" || fail "cannot add an account"
    gpasswd -d "$account" "$account_group" >/dev/null 2>&1
    login="--groups=$(id -G "$account" | tr ' ' ,)"
    saved="$(stat -c '%U:%G %a' "$tty")"
    frames_before="$(frames | wc -l)"
    udev=": ask your administrator for a udev rule that lets a group such as dialout use it)"
    account_sees "root:$account_group" 0660 --init-groups 1 "permission denied (it belongs to the group $account_group: \
sudo usermod -aG $account_group \$USER, then log out and in again, or newgrp $account_group for this shell)"
    usermod -aG "$account_group" "$account" || fail "cannot add the account to $account_group"
    account_sees "root:$account_group" 0660 "$login" 1 \
        "permission denied (you are in the group $account_group, but this login is older than that: log out and in again)"
    account_sees "root:$account_group" 0660 --init-groups 0 ok
    account_sees root:root 0600 --init-groups 1 "permission denied (it belongs to root$udev"
    account_sees root:dialout 0600 --init-groups 1 "permission denied (the group dialout may not use it$udev"
    chown "${saved% *}" "$tty" && chmod "${saved#* }" "$tty" || fail "cannot give $tty back its $saved"
    [ "$(frames | wc -l)" -eq "$frames_before" ] || fail "--list-ports sent the meter: $(frames | tail -n 3 | joined)"
}
