#!/usr/bin/env bash
# The disk holding Users/All Users is full when the tray quits: writing Sys.ini
# fails, so the old Sys.ini must stay as it was (not emptied), no half-written file
# is left beside it, and the next "/TRAY" start still serves the player it names.
. "$(dirname "$0")/faults-lib.sh"
fl_init "$1" 90 VantobelPlayTray VantobelPlay vantobel-vendor-service

printf '<?xml version="1.0" encoding="utf-8"?>\n<Notices/>\n' >"$XS_DIR/notices.xml"
e2e_service "$XS_DIR/notices.xml"
fl_user_db fullquit >/dev/null
all="$E2E_PROG/Users/All Users"
cp -a "$all" "$XS_DIR/all-users"
fl_tmpfs "$all" 128k
cp -a "$XS_DIR/all-users/." "$all/"
sysini=$all/Sys.ini
printf 'TrayDefaultType=BabyPlayer\r\n' >"$sysini"
before=$(md5sum <"$sysini")
fl_fill "$all"
e2e_note "Users/All Users is full; Sys.ini says BabyPlayer, the tray serves the parent player"

e2e_tray '/u|||E2E|||p1|||fullquit|||secret|||p4|||p5|||p6|||p7'
e2e_wait_icon
e2e_quit_tray
e2e_note "Sys.ini after the quit: '$(tr -d '\r' <"$sysini" 2>/dev/null)' ($(wc -c <"$sysini" 2>/dev/null) bytes)"
fl_expect "Sys.ini keeps its old content" eval '[[ -f $sysini && $(md5sum <"$sysini") == "$before" ]]'
left=$(find "$all" -mindepth 1 ! -name Sys.ini ! -name Info.db ! -name filler | tr '\n' ' ')
fl_expect "no half-written file is left beside it ($left)" test -z "$left"
if [[ -n $(grep -il 'Sys.ini' "$XS_DIR"/log/tray.log 2>/dev/null) ]]; then
    e2e_note "the tray reported: $(grep -i 'Sys.ini' "$XS_DIR/log/tray.log" | tail -n1)"
fi

# Space again, and a "/TRAY" start: the tray serves the player Sys.ini names.
rm -f "$all/filler"
e2e_player
e2e_tray /TRAY
e2e_wait_icon
e2e_click_icon 1
fl_expect_soon 15 "the /TRAY start opens the baby player of Sys.ini" grep -q '^/B|||' "$VANTOBEL_PLAYER_LOG"
e2e_quit_tray
fl_done
