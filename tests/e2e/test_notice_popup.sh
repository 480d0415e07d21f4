#!/usr/bin/env bash
# Road of one notice: the service's notice becomes one unread history row and one
# pop-up that rises to the bottom right of the screen, stays above other windows and
# never takes the keyboard focus from the window the user types in; the same notice
# offered again adds neither a row nor a window. Under do-not-disturb a notice is
# still stored (unread), but no pop-up stays on screen.
. "$(dirname "$0")/e2e-lib.sh"
e2e_init "$1" 150 VantobelPlayTray vantobel-vendor-service
e2e_need xmessage

# Every kind is handed the same notice twice, then the empty notice.
e2e_serve all 端到端测试公告 /news/e2e-road 公告 2
db=$(e2e_user_db roaduser keep)

# The window the user types in, where the pop-up will appear over it.
xs_spawn typing xmessage -name vt-typing -geometry 600x400+600+300 "typing here"
typing_window() { xdotool search --onlyvisible --classname '^vt-typing$' 2>/dev/null | head -n1; }
e2e_eventually 10 "the typing window" eval '[[ -n $(typing_window) ]]'
typing=$(typing_window)
xdotool windowactivate --sync "$typing" >/dev/null 2>&1
active_is_typing() { [[ $(xdotool getactivewindow 2>/dev/null) == "$typing" ]]; }
e2e_eventually 10 "the typing window to hold the focus" active_is_typing

export VANTOBEL_TRAY_ONLINE=1
e2e_tray "$(e2e_parent roaduser)"
e2e_wait_icon
e2e_eventually 30 "the notice to be stored in HistoryNews" eval '(($(e2e_rows "$db") == 1))'
e2e_check "the request names the parent player's kind" grep -q 'GET /notice?TypeStr=user&TimeAxes= ' "$XS_DIR/log/service.log"
row=$(e2e_sql "$db" "select TypeStr||'|'||Title||'|'||UrlStr||'|'||Status from HistoryNews")
[[ $row == "公告|端到端测试公告|http://127.0.0.1:$E2E_PORT/news/e2e-road|0" ]] || e2e_fail "stored row is '$row'"

e2e_eventually 15 "one pop-up window" e2e_one_popup
popup=$(e2e_managed_windows)
e2e_never 4 "the pop-up took the focus from the typing window" eval '! active_is_typing'
e2e_check "the pop-up is kept above other windows" eval '[[ $(xprop -id "$popup" _NET_WM_STATE) == *_NET_WM_STATE_ABOVE* ]]'
e2e_eventually 15 "the pop-up to rest at the bottom right" e2e_popup_rests_bottom_right "$popup"
# A fixed tool window off the taskbar, framed by its own title bar.
e2e_check_popup_kind "$popup" wm-minimise
# Its title bar moves it, as a frame's would, and it stays where it is put.
read -r x y _ <<<"$(e2e_window_geometry "$popup")"
xdotool mousemove $((x + 60)) $((y + 8)) mousedown 1 sleep 0.3 mousemove $((x - 40)) $((y - 92)) sleep 0.3 mouseup 1
moved() { read -r nx ny _ <<<"$(e2e_window_geometry "$popup")"; ((nx <= x - 80 && ny <= y - 80)); }
e2e_eventually 5 "a drag on the title bar to move the pop-up" moved
e2e_never 2 "the moved pop-up went back" eval '! moved'

# Two more polls: the same notice again, then the empty one.
e2e_eventually 30 "two more notice polls" eval '(($(e2e_notice_requests) >= 3))'
e2e_check "the same notice again adds no row" eval '(($(e2e_rows "$db") == 1))'
e2e_check "the same notice again opens no window" e2e_one_popup
e2e_quit_tray

# Do-not-disturb, for the baby player's user.
db=$(e2e_user_db quietbaby keep)
e2e_sql "$db" "replace into SoftSettings (FieldStr, DataStr) values ('AllMessagePeaceful', '1')"
e2e_tray '/b|||E2E|||quietbaby|||b2|||secret|||b4|||b5|||b6|||b7'
e2e_wait_icon
e2e_eventually 30 "the notice to be stored although do-not-disturb is on" eval '(($(e2e_rows "$db" Status=0) == 1))'
e2e_check "the request names the baby player's kind" grep -q 'GET /notice?TypeStr=baby&TimeAxes= ' "$XS_DIR/log/service.log"
# The window may be mapped for a moment before its activation closes it.
e2e_eventually 5 "the pop-up to close under do-not-disturb" eval '(($(e2e_managed_count) == 0))'
e2e_never 2 "a pop-up showed up under do-not-disturb" eval '(($(e2e_managed_count) > 0))'
e2e_check "the tray still runs" e2e_running "$E2E_TRAY_PID"
e2e_pass
