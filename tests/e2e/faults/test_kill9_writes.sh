#!/usr/bin/env bash
# The tray is killed (SIGKILL) 20 times, each time the moment its write of a new
# notice has begun: SQLite's rollback journal beside Info.db shows a write under way.
# A journal still there after the kill proves the kill landed inside the write; the
# test counts those and needs some. Afterwards the user's Info.db passes
# "PRAGMA integrity_check", holds no notice twice, was never taken for damaged (no
# Info.db.damaged-* file, no prompt), and a restart stores the next notice once.
. "$(dirname "$0")/faults-lib.sh"
# One tick per millisecond: a poll every 0.6 s, so each short run writes.
export VANTOBEL_TRAY_TICK_MS=1
fl_init "$1" 170 VantobelPlayTray vantobel-vendor-service

args=()
for n in $(seq 1 200); do
    args+=("被打断的公告$n" "/news/killed-$n" 公告 1)
done
e2e_serve user "${args[@]}"
# No database yet: the first run also makes it from the template.
db=$E2E_PROG/Users/killed/Info.db
journal=$db-journal
user=$(e2e_parent killed)
twice() { e2e_sql "$1" "select Title from HistoryNews group by Title, UrlStr having count(*) > 1"; }

landed=0
for run in $(seq 1 20); do
    asked=$(e2e_notice_requests)
    e2e_tray "$user"
    e2e_eventually 20 "run $run: a notice poll" eval '(($(e2e_notice_requests) > asked))'
    # Watch for the journal and kill at once; a run whose write is not seen within
    # two seconds is killed then.
    deadline=$((SECONDS + 2))
    while [[ ! -e $journal ]] && ((SECONDS < deadline)); do :; done
    kill -KILL "$E2E_TRAY_PID"
    wait "$E2E_TRAY_PID" 2>/dev/null
    [[ -s $journal ]] && landed=$((landed + 1))
done
# Checked on a copy: the journal the last kill left is for the restarted tray to undo.
mkdir "$XS_DIR/copy" && cp "$db" "$XS_DIR/copy/" && { [[ ! -e $journal ]] || cp "$journal" "$XS_DIR/copy/"; }
copy=$XS_DIR/copy/Info.db
rows=$(e2e_rows "$copy")
e2e_note "after 20 kills, $landed of them inside a write: $rows notices stored of $(e2e_notice_requests) offered"
e2e_check "kills landed inside writes ($landed of 20)" eval '((landed >= 5))'
e2e_check "the database is whole after 20 kills" eval '[[ $(e2e_sql "$copy" "pragma integrity_check") == ok ]]'
e2e_check "no notice is stored twice" eval '[[ -z $(twice "$copy") ]]'

e2e_tray "$user"
e2e_wait_icon
e2e_eventually 20 "the restarted tray stores the next notice" eval '(($(e2e_rows "$db") > rows))'
fl_polls_after 2
fl_alive "after the restart"
e2e_check "it stores one row per new notice ($(e2e_rows "$db") rows, $(e2e_notice_requests) offered)" eval '[[ -z $(twice "$db") ]]'
e2e_check "the database was never taken for damaged" eval '! ls "$(dirname "$db")"/Info.db.damaged-* >/dev/null 2>&1'
e2e_check "no prompt after the restart" eval '(($(fl_prompt_count) == 0))'
e2e_check "the database is still whole" eval '[[ $(e2e_sql "$db" "pragma integrity_check") == ok ]]'
e2e_pass
