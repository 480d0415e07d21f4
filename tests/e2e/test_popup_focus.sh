#!/usr/bin/env bash
# A notice rises on top of the other windows without taking the keyboard focus from
# the window the user is typing in.
. "$(dirname "$0")/e2e-lib.sh"
e2e_init "$1" 80 VantobelPlayTray vantobel-vendor-service
command -v xmessage >/dev/null || e2e_fail "missing tool xmessage (x11-utils)"

cat >"$XS_DIR/notices.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<Notices>
  <Notice kind="user">
    <Title>打字时来的公告</Title><Url>/news/e2e-focus</Url><Pic></Pic>
    <Brief>弹出时不抢键盘。</Brief><TypeStr>公告</TypeStr>
    <CrowdType>全部</CrowdType><Area>全国</Area><TimeAxes>2026-03-01 08:00:00</TimeAxes>
  </Notice>
</Notices>
XML
e2e_service "$XS_DIR/notices.xml"
db=$(e2e_user_db focususer)
e2e_sql "$db" "delete from SoftSettings where FieldStr like 'PopAutoClose%'"

# The window the user types in, where the pop-up will appear over it.
xs_spawn typing xmessage -name vt-typing -geometry 600x400+600+300 "typing here"
typing_window() { xdotool search --onlyvisible --classname '^vt-typing$' 2>/dev/null | head -n1; }
has_typing_window() { [[ -n $(typing_window) ]]; }
e2e_eventually 10 "the typing window" has_typing_window
typing=$(typing_window)
xdotool windowactivate --sync "$typing" >/dev/null 2>&1
active_is_typing() { [[ $(xdotool getactivewindow 2>/dev/null) == "$typing" ]]; }
e2e_eventually 10 "the typing window to hold the focus" active_is_typing

export VANTOBEL_TRAY_ONLINE=1
e2e_tray '/u|||E2E|||p1|||focususer|||secret|||p4|||p5|||p6|||p7'
e2e_wait_icon

has_popup() { [[ $(e2e_managed_count) == 1 ]]; }
e2e_eventually 30 "the pop-up" has_popup
popup=$(e2e_managed_windows)

focus_left() { ! active_is_typing; }
e2e_never 4 "the pop-up took the focus from the typing window" focus_left
above() { [[ $(xprop -id "$popup" _NET_WM_STATE 2>/dev/null) == *_NET_WM_STATE_ABOVE* ]]; }
e2e_check "the pop-up is kept above other windows" above
e2e_check "the pop-up is still shown" has_popup
e2e_pass
