#!/usr/bin/env bash
# The three looks of the tray icon on a real tray: normal after start, offline when
# the machine is offline (VANTOBEL_TRAY_ONLINE=0), unread with two unread notices.
. "$(dirname "$0")/e2e-lib.sh"
e2e_init "$1" 90 VantobelPlayTray vantobel-vendor-service

printf '<?xml version="1.0" encoding="utf-8"?>\n<Notices/>\n' >"$XS_DIR/notices.xml"
e2e_service "$XS_DIR/notices.xml"
user='/u|||E2E|||p1|||looks|||secret|||p4|||p5|||p6|||p7'

# A look is settled when two captures a moment apart agree.
settled_look() {
    local a b
    a=$(e2e_look "$E2E_ICON")
    sleep 0.3
    b=$(e2e_look "$E2E_ICON")
    [[ $a == "$b" ]] && echo "$a"
}
look_differs_from() {
    local now
    now=$(settled_look) || return 1
    for other in "$@"; do
        [[ $now != "$other" ]] || return 1
    done
}
no_icon() { [[ $(e2e_icon_count) == 0 ]]; }

# Normal: with one-second ticks nothing changes the look for five minutes.
VANTOBEL_TRAY_ONLINE=1 VANTOBEL_TRAY_TICK_MS=1000 e2e_tray "$user"
e2e_wait_icon
e2e_eventually 10 "the normal look to settle" settled_look
normal=$(settled_look)
e2e_quit_tray
e2e_eventually 10 "the icon to go with the tray" no_icon

# Offline: the offline look from the first tick on.
VANTOBEL_TRAY_ONLINE=0 e2e_tray "$user"
e2e_wait_icon
e2e_eventually 15 "the offline look" look_differs_from "$normal"
offline=$(settled_look)
e2e_quit_tray
e2e_eventually 10 "the icon to go with the tray" no_icon

# Unread: two unread notices give the unread look at the 300th tick.
db=$(e2e_user_db looks)
for n in 1 2; do
    e2e_sql "$db" "insert into HistoryNews (TypeStr,Title,UrlStr,Brief,AddTime,SNo,PhotoPath,Status)
        values ('公告','unread $n','http://127.0.0.1/$n','b','2026-03-01 08:00:0$n','1126030108000${n}1111','',0)"
done
[[ $(e2e_sql "$db" "select count(*) from HistoryNews where Status=0") == 2 ]] || e2e_fail "could not add unread rows"
VANTOBEL_TRAY_ONLINE=1 e2e_tray "$user"
e2e_wait_icon
e2e_eventually 20 "the unread look" look_differs_from "$normal" "$offline"
e2e_quit_tray
e2e_pass
