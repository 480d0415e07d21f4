#!/usr/bin/env bash
# The tray on a real system tray: its icon is embedded, a left click opens the
# player it serves (over the link, or by starting it), a right click opens the menu,
# a second start hands its command line over without a second icon, and "/exit"
# ends it and leaves the served player in Sys.ini.
. "$(dirname "$0")/e2e-lib.sh"
e2e_init "$1" 90 VantobelPlayTray VantobelPlay vantobel-vendor-service

e2e_serve user
export VANTOBEL_TRAY_ONLINE=1

baby=$(e2e_fields baby)
parent=$(e2e_fields parent)

e2e_player
e2e_tray "/b|||E2E|||$baby"
e2e_wait_icon
read -r _ _ iw ih <<<"$(e2e_window_geometry "$E2E_ICON")"
[[ "${iw}x${ih}" == 22x22 ]] || e2e_fail "icon window is ${iw}x${ih}, not 22x22"

# Left click: the baby player is asked over the link.
e2e_click_icon 1
e2e_eventually 15 "the player to receive /B with the seven fields" e2e_player_got "/B|||$baby"

# Right click: the menu opens as a new pop-up window; Escape closes it.
e2e_menu_opens 10

# A second start hands "/u" over and ends; the first copy now serves the parent player.
# (The quit sequence ends with exit code 1, so only a hang counts as failure.)
timeout 20 "$E2E_PROG/VantobelPlayTray" "/u|||E2E|||$parent" >>"$XS_DIR/log/tray-second.log" 2>&1
(((status = $?) != 124 && status < 128)) || e2e_fail "the second start did not end by itself (status $status)"
e2e_check "the first tray still runs" e2e_running "$E2E_TRAY_PID"
e2e_check "still exactly one icon" eval '(($(e2e_icon_count) == 1))'
before=$(grep -c . "$VANTOBEL_PLAYER_LOG")
e2e_click_icon 1
e2e_eventually 15 "the player to receive /U with the parent's fields" e2e_player_got "/U|||$parent"
[[ $(grep -c . "$VANTOBEL_PLAYER_LOG") == $((before + 1)) ]] || e2e_fail "one click sent more than one command"

# Without a running player a left click starts the player program with the command.
kill -TERM "$E2E_PLAYER_PID"
e2e_eventually 10 "the demo player to end" eval '! e2e_running "$E2E_PLAYER_PID"'
: >"$VANTOBEL_PLAYER_LOG"
e2e_click_icon 1
e2e_eventually 20 "the player program to start with /U" e2e_player_got "/U|||$parent"
e2e_eventually 10 "the started player to listen" test -S "$XDG_RUNTIME_DIR/VantobelPlay|VantobelPlayDDEForm"

# "VantobelPlayTray /exit" hands "/exit" to the running copy: no question, the icon
# goes, Sys.ini keeps the served player, and the player is not told to exit.
timeout 20 "$E2E_PROG/VantobelPlayTray" /exit >>"$XS_DIR/log/tray-second.log" 2>&1
e2e_eventually 15 "the tray to end after /exit" eval '! e2e_running "$E2E_TRAY_PID"'
e2e_eventually 10 "the icon to go with the tray" eval '(($(e2e_icon_count) == 0))'
sysini="$E2E_PROG/Users/All Users/Sys.ini"
[[ $(cat "$sysini") == $'TrayDefaultType=ParentPlayer\r' ]] || e2e_fail "Sys.ini holds '$(od -c "$sysini" | head -3)'"
e2e_check "the player was not told to exit" eval '! grep -qix /exit "$VANTOBEL_PLAYER_LOG"'
e2e_pass
