#!/usr/bin/env bash
# Do-not-disturb: a new notice is still stored (unread), but no pop-up stays on screen.
. "$(dirname "$0")/e2e-lib.sh"
e2e_init "$1" 60 VantobelPlayTray vantobel-vendor-service

cat >"$XS_DIR/notices.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<Notices>
  <Notice kind="baby">
    <Title>安静模式下的公告</Title><Url>/news/e2e-quiet</Url><Pic></Pic>
    <Brief>勿扰时只记录，不弹出。</Brief><TypeStr>公告</TypeStr>
    <CrowdType>全部</CrowdType><Area>全国</Area><TimeAxes>2026-03-01 08:00:00</TimeAxes>
  </Notice>
</Notices>
XML
e2e_service "$XS_DIR/notices.xml"

db=$(e2e_user_db quietbaby)
e2e_sql "$db" "delete from SoftSettings where FieldStr like 'PopAutoClose%'"
e2e_sql "$db" "replace into SoftSettings (FieldStr, DataStr) values ('AllMessagePeaceful', '1')"
[[ $(e2e_sql "$db" "select DataStr from SoftSettings where FieldStr='AllMessagePeaceful'") == 1 ]] ||
    e2e_fail "could not switch do-not-disturb on in the test database"

export VANTOBEL_TRAY_ONLINE=1
e2e_tray '/b|||E2E|||quietbaby|||b2|||secret|||b4|||b5|||b6|||b7'
e2e_wait_icon

stored() { [[ $(e2e_sql "$db" "select count(*) from HistoryNews where Status=0 and UrlStr like '%/news/e2e-quiet'") == 1 ]]; }
e2e_eventually 30 "the notice to be stored although do-not-disturb is on" stored
e2e_check "the request names the baby player's kind" grep -q 'GET /notice?TypeStr=baby&TimeAxes= ' "$XS_DIR/log/service.log"

no_popup() { [[ $(e2e_managed_count) == 0 ]]; }
# The window may be mapped for a moment before its activation closes it.
e2e_eventually 5 "the pop-up to close under do-not-disturb" no_popup
e2e_never 2 "a pop-up showed up under do-not-disturb" eval '! no_popup'
e2e_check "the tray still runs" e2e_running "$E2E_TRAY_PID"
e2e_pass
