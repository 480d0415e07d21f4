#!/usr/bin/env bash
# The user's folder cannot take a notice: read-only (readonly) or out of space (full),
# each a small tmpfs. The notice pops up once, not again at every poll; the user is
# told once, in a prompt titled like the program, that the history cannot be written;
# the tray menu opens meanwhile. For a full folder, once space is back the next notice
# is stored exactly once and the database is whole.
#   test_user_folder.sh BUILD_BIN readonly|full
. "$(dirname "$0")/faults-lib.sh"
mode=${2:?readonly or full}
fl_init "$1" 120 VantobelPlayTray vantobel-vendor-service

user=folder$mode
folder=$E2E_PROG/Users/$user
e2e_serve user '写不进去的公告' /news/cannot-store 公告 40
fl_tmpfs "$folder" 160k
db=$(e2e_user_db "$user" keep)
if [[ $mode == readonly ]]; then
    mount -o remount,ro "$folder" || e2e_fail "cannot make $folder read-only"
else
    # Every free byte taken.
    dd if=/dev/zero of="$folder/filler" bs=4k 2>/dev/null
    e2e_check "the folder is full" eval '(($(df --output=avail -B1 "$folder" | tail -n1) < 4096))'
fi
e2e_note "the user folder $folder is $mode"

e2e_tray "$(e2e_parent "$user")"
e2e_wait_icon
e2e_eventually 20 "the first notice poll" eval '(($(e2e_notice_requests) >= 1))'
fl_polls_after 3
fl_alive
popups=$(fl_seen 公告)
prompts=$(fl_seen "$FL_APP_TITLE")
e2e_check "the notice that cannot be stored pops up once, not at every poll ($popups)" eval '((popups == 1))'
e2e_check "the user is told once that the history cannot be written ($prompts prompts)" eval '((prompts == 1))'
e2e_menu_opens 5 "while the user has not answered"
fl_answer_prompts 20
fl_polls_after 1
fl_alive
e2e_check "no further prompt after it was answered" eval '(($(fl_prompt_count) == 0))'

if [[ $mode == full ]]; then
    rm -f "$folder/filler"
    e2e_note "space is back; a second notice comes next"
    e2e_notices "$XS_DIR/notices2.xml" user '空间回来后的公告' /news/space-back 公告 10
    fl_service_again "$XS_DIR/notices2.xml"
    stored() { e2e_rows "$db" "UrlStr like '%/$1'"; }
    e2e_eventually 20 "the next notice is stored once space is back" eval '(($(stored space-back) >= 1))'
    fl_polls_after 2
    e2e_check "it is stored exactly once" eval '(($(stored space-back) == 1))'
    e2e_check "the first notice is not stored twice" eval '(($(stored cannot-store) <= 1))'
    e2e_check "the database is whole" eval '[[ $(e2e_sql "$db" "pragma integrity_check") == ok ]]'
    e2e_check "the second notice popped up once ($(fl_seen 公告) pop-ups in all)" eval '(($(fl_seen 公告) == popups + 1))'
else
    e2e_check "nothing was written" eval '(($(e2e_rows "$db") == 0))'
fi
fl_alive
e2e_pass
