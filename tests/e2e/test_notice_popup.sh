#!/usr/bin/env bash
# Road of one notice: the service's notice becomes one unread history row and one
# pop-up that rises to the bottom right of the screen; the same notice offered
# again adds neither a row nor a window.
. "$(dirname "$0")/e2e-lib.sh"
e2e_init "$1" 80 VantobelPlayTray vantobel-vendor-service

cat >"$XS_DIR/notices.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<Notices>
  <Notice kind="user">
    <Title>端到端测试公告</Title><Url>/news/e2e-road</Url><Pic></Pic>
    <Brief>这条公告走完从服务到弹窗的整条路。</Brief><TypeStr>公告</TypeStr>
    <CrowdType>全部</CrowdType><Area>全国</Area><TimeAxes>2026-03-01 08:00:00</TimeAxes>
  </Notice>
  <Notice kind="user">
    <Title>端到端测试公告</Title><Url>/news/e2e-road</Url><Pic></Pic>
    <Brief>同一条公告再来一次。</Brief><TypeStr>公告</TypeStr>
    <CrowdType>全部</CrowdType><Area>全国</Area><TimeAxes>2026-03-01 08:00:00</TimeAxes>
  </Notice>
</Notices>
XML
e2e_service "$XS_DIR/notices.xml"

# Announcements that never close by themselves, so the window can be measured.
db=$(e2e_user_db roaduser)
e2e_sql "$db" "delete from SoftSettings where FieldStr like 'PopAutoClose%'"

export VANTOBEL_TRAY_ONLINE=1
e2e_tray '/u|||E2E|||p1|||roaduser|||secret|||p4|||p5|||p6|||p7'
e2e_wait_icon

rows() { e2e_sql "$db" "select count(*) from HistoryNews"; }
has_one_row() { [[ $(rows) == 1 ]]; }
e2e_eventually 30 "the notice to be stored in HistoryNews" has_one_row
e2e_check "the request names the parent player's kind" grep -q 'GET /notice?TypeStr=user&TimeAxes= ' "$XS_DIR/log/service.log"

row=$(e2e_sql "$db" "select TypeStr||'|'||Title||'|'||UrlStr||'|'||Status from HistoryNews")
[[ $row == "公告|端到端测试公告|http://127.0.0.1:$E2E_PORT/news/e2e-road|0" ]] || e2e_fail "stored row is '$row'"

has_one_popup() { [[ $(e2e_managed_count) == 1 ]]; }
e2e_eventually 15 "one pop-up window" has_one_popup
popup=$(e2e_managed_windows)

# It rises in steps and stops at the bottom right, clear of the screen's lower edge.
at_rest() {
    local a b
    a=$(e2e_window_geometry "$popup")
    sleep 0.3
    b=$(e2e_window_geometry "$popup")
    [[ -n $a && $a == "$b" ]]
}
e2e_eventually 15 "the pop-up to come to rest" at_rest
read -r x y w h <<<"$(e2e_window_geometry "$popup")"
screen_w=$(xdotool getdisplaygeometry | cut -d' ' -f1)
screen_h=$(xdotool getdisplaygeometry | cut -d' ' -f2)
e2e_note "pop-up at ${x},${y} ${w}x${h} on ${screen_w}x${screen_h}"
((w > 150 && h > 100)) || e2e_fail "pop-up too small: ${w}x${h}"
right=$((screen_w - x - w))
bottom=$((screen_h - y - h))
# The frame adds a few pixels; 430 twips (about 29 px) stay free below the window.
((right >= 0 && right <= 12)) || e2e_fail "pop-up not at the right edge (${right}px left over)"
((bottom >= 25 && bottom <= 70)) || e2e_fail "pop-up not resting just above the bottom edge (${bottom}px below)"

# Two more polls: the same notice again, then the empty one.
enough_polls() { (($(e2e_notice_requests) >= 3)); }
e2e_eventually 30 "two more notice polls" enough_polls
e2e_check "the same notice again adds no row" has_one_row
e2e_check "the same notice again opens no window" has_one_popup
e2e_check "the tray still runs" e2e_running "$E2E_TRAY_PID"
e2e_pass
