#!/usr/bin/env bash
# The template database is missing and the user has none yet. The user sees the
# prompt "Err.请关闭后重新打开！" (titled like the program), never two of them stacked;
# the tray menu still opens while it is up; the tray survives the prompt being
# answered after the pop-up of the poll that raised it has closed itself meanwhile;
# and a notice that cannot be stored does not pop up again at every poll.
. "$(dirname "$0")/faults-lib.sh"
fl_init "$1" 100 VantobelPlayTray vantobel-vendor-service

# A notice of no known kind closes itself after 60 ticks, so a pop-up whose load
# raised the prompt is gone by the time the user answers it.
fl_notices "$XS_DIR/notices.xml" user '没有模板时的消息' /news/no-template '' 12
e2e_service "$XS_DIR/notices.xml"
rm -f "$E2E_PROG/Users/All Users/Info.db"
userdb=$E2E_PROG/Users/notemplate/Info.db

e2e_tray '/u|||E2E|||p1|||notemplate|||secret|||p4|||p5|||p6|||p7'
e2e_wait_icon
e2e_eventually 20 "a prompt to show" fl_has_prompt
e2e_note "the user sees a prompt titled $FL_APP_TITLE ('Err.请关闭后重新打开！')"
fl_menu_opens 5 "while the prompt is up"

# Three more polls with the prompt left open (or as long as polls would take).
xs_wait 12 "three more polls" eval '(($(e2e_notice_requests) >= 4))'
fl_expect "never more than one prompt on screen at once (most: $(fl_most_at_once "$FL_APP_TITLE"))" \
    eval '(($(fl_most_at_once "$FL_APP_TITLE") <= 1))'
fl_alive "while the prompt is open"

e2e_note "the user answers the prompt"
fl_answer_prompts 20
sleep 1
fl_alive "after the prompt was answered"
fl_expect "no database is made without the template" test ! -e "$userdb"
fl_polls_after 2
fl_alive "at the next polls"
fl_expect "the notice that cannot be stored pops up at most once (seen: $(fl_seen "$FL_POPUP_TITLE"))" \
    eval '(($(fl_seen "$FL_POPUP_TITLE") <= 1))'
fl_answer_prompts 20
fl_done
