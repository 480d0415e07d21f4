#!/usr/bin/env bash
# The tray is killed (SIGKILL) 20 times, each time just after a new notice came in,
# while it stores it (the first runs while the user's database is made). Afterwards the user's Info.db passes "PRAGMA integrity_check",
# holds no notice twice, was never taken for damaged (no Info.db.damaged-* file, no
# prompt), and a restart stores the next notice exactly once.
. "$(dirname "$0")/faults-lib.sh"
# One tick per millisecond: a poll every 0.6 s, so each short run writes.
export VANTOBEL_TRAY_TICK_MS=1
fl_init "$1" 150 VantobelPlayTray vantobel-vendor-service

args=()
for n in $(seq 1 40); do
    args+=("被打断的公告$n" "/news/killed-$n" 公告 1)
done
fl_notices "$XS_DIR/notices.xml" user "${args[@]}"
e2e_service "$XS_DIR/notices.xml"
# No database yet: the first runs also copy the template when they are killed.
db=$E2E_PROG/Users/killed/Info.db
user='/u|||E2E|||p1|||killed|||secret|||p4|||p5|||p6|||p7'

for run in $(seq 1 20); do
    asked=$(e2e_notice_requests)
    e2e_tray "$user"
    e2e_eventually 20 "run $run: a notice poll" eval '(($(e2e_notice_requests) > asked))'
    # The answer is in; the duplicate test, the pop-up and the insert follow within
    # a few tens of milliseconds.
    sleep "0.0$((RANDOM % 10))"
    kill -KILL "$E2E_TRAY_PID"
    wait "$E2E_TRAY_PID" 2>/dev/null
done
rows=$(fl_rows "$db")
e2e_note "after 20 kills: $rows notices stored of $(e2e_notice_requests) offered"
fl_expect "the database is whole after 20 kills" eval '[[ $(e2e_sql "$db" "pragma integrity_check") == ok ]]'
fl_expect "no more rows than notices offered" eval '((rows <= $(e2e_notice_requests)))'
fl_expect "no notice is stored twice" \
    eval '[[ -z $(e2e_sql "$db" "select Title from HistoryNews group by Title, UrlStr having count(*) > 1") ]]'

e2e_tray "$user"
e2e_wait_icon
fl_expect_soon 20 "the restarted tray stores the next notice" eval '(($(fl_rows "$db") > rows))'
fl_polls_after 2
fl_alive "after the restart"
fl_expect "it stores one row per new notice ($(fl_rows "$db") rows, $(e2e_notice_requests) offered)" \
    eval '[[ -z $(e2e_sql "$db" "select Title from HistoryNews group by Title, UrlStr having count(*) > 1") ]]'
fl_expect "the database was never taken for damaged" eval '! ls "$(dirname "$db")"/Info.db.damaged-* >/dev/null 2>&1'
fl_expect "no prompt after the restart" eval '(($(fl_prompt_count) == 0))'
fl_expect "the database is still whole" eval '[[ $(e2e_sql "$db" "pragma integrity_check") == ok ]]'
fl_done
