#!/usr/bin/env bash
# The page of the settings table in the user's Info.db is damaged. The database is
# moved aside as Info.db.damaged-<time> (kept byte for byte, nothing thrown away) and
# made anew; the user is told once, in a prompt titled like the program; the tray
# survives the prompt being answered after the pop-up that raised it has closed
# itself; the notice is stored exactly once in the new database.
. "$(dirname "$0")/faults-lib.sh"
fl_init "$1" 100 VantobelPlayTray vantobel-vendor-service

# A notice of no known kind closes itself after 60 ticks, while the prompt is open.
fl_notices "$XS_DIR/notices.xml" user '损坏数据库后的消息' /news/after-damage '' 8
e2e_service "$XS_DIR/notices.xml"
db=$(e2e_user_db damaged)
folder=$(dirname "$db")
e2e_sql "$db" "insert into SoftSettings values ('AllMessagePeaceful','0'); insert into SoftSettings values ('PopShow_SysNotice','1')"
e2e_sql "$db" "insert into HistoryNews (TypeStr,Title,UrlStr,Brief,AddTime,SNo) values ('公告','旧消息','http://127.0.0.1/old','旧','2026-01-01 08:00:00','1126010108000011111')"
page=$(e2e_sql "$db" "pragma page_size")
root=$(e2e_sql "$db" "select rootpage from sqlite_master where name='SoftSettings'")
[[ -n $page && -n $root ]] || e2e_fail "cannot find the settings table's page"
head -c "$page" /dev/urandom | dd of="$db" bs="$page" seek=$((root - 1)) conv=notrunc 2>/dev/null
[[ $(e2e_sql "$db" "pragma integrity_check") != ok ]] || e2e_fail "the database is not damaged"
sum=$(md5sum <"$db")
e2e_note "page $root (of $page bytes, the settings table) of $db is damaged"

e2e_tray '/u|||E2E|||p1|||damaged|||secret|||p4|||p5|||p6|||p7'
e2e_wait_icon
e2e_eventually 20 "a prompt to show" fl_has_prompt
e2e_note "the user sees a prompt titled $FL_APP_TITLE (the database was damaged, kept aside, made anew)"
fl_menu_opens 5 "while the prompt is up"
# Long enough for the pop-up to close itself behind the prompt.
sleep 3
fl_alive "while the prompt is open"
e2e_note "the user answers the prompt"
fl_answer_prompts 20
sleep 1
fl_alive "after the prompt was answered"
fl_polls_after 2
fl_alive "at the next polls"

aside=("$folder"/Info.db.damaged-*)
fl_expect "the damaged file is kept aside as Info.db.damaged-<time> (${aside[*]##*/})" \
    eval '[[ ${#aside[@]} == 1 && -f ${aside[0]} && $(md5sum <"${aside[0]}") == "$sum" ]]'
fl_expect "the new database is whole" eval '[[ $(e2e_sql "$db" "pragma integrity_check") == ok ]]'
fl_expect "the notice is stored exactly once in the new database" \
    eval '(($(fl_rows "$db" "UrlStr like '"'"'%/after-damage'"'"'") == 1))'
fl_expect "the user was told once ($(fl_seen "$FL_APP_TITLE") prompts)" eval '(($(fl_seen "$FL_APP_TITLE") == 1))'
fl_done
