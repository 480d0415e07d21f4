#!/usr/bin/env bash
# The notice service misbehaves before it answers well: it hangs (the first request
# held open for good; the tray gives up after its 30 s time-out), drips (the notice
# one byte every 10 ms, about 4 s) or answers garbage (bytes that are no text, a
# notice cut off in the middle, a page that is no notice). The tray menu opens meanwhile; garbage pops nothing up and stores nothing;
# the good notice pops up once and is stored once, however the answers interleave.
#   test_service.sh BUILD_BIN hang|drip|garbage
. "$(dirname "$0")/faults-lib.sh"
mode=${2:?hang, drip or garbage}
fl_init "$1" 100 VantobelPlayTray vantobel-vendor-service

case $mode in
hang) fault=(--notice-fault hang --fault-times 1) ;;
drip) fault=(--notice-fault drip --fault-times 1 --drip-ms 10) ;;
garbage) fault=(--notice-fault garbage --fault-times 3) ;;
*) e2e_fail "unknown mode $mode" ;;
esac
fl_notices "$XS_DIR/notices.xml" user '服务恢复后的公告' /news/service-back 公告 10
fl_service "$XS_DIR/notices.xml"
# That service answers well; this one misbehaves first.
fl_service_again service-fault "$XS_DIR/notices.xml" "${fault[@]}"
db=$(fl_user_db "service$mode")

e2e_tray "/u|||E2E|||p1|||service$mode|||secret|||p4|||p5|||p6|||p7"
e2e_wait_icon
e2e_eventually 20 "the first notice request" eval '(($(fl_requests) >= 1))'
e2e_note "the service: $(grep 'GET /notice?' "$XS_DIR/log/service-fault.log" | head -n1 | sed 's/.*-> //')"
fl_menu_opens 3 "while the service $mode"
if [[ $mode == garbage ]]; then
    e2e_eventually 20 "the three garbage answers" eval '(($(fl_requests) >= 3))'
    fl_expect "no pop-up for garbage" eval '(($(fl_seen 公告) + $(fl_seen "$FL_POPUP_TITLE") == 0))'
fi
fl_expect_soon 45 "the good notice pops up" eval '(($(fl_seen 公告) >= 1))'
if [[ $mode == drip ]]; then
    e2e_eventually 20 "the dripped answer to end" grep -q 'drip of .* ended' "$XS_DIR/log/service-fault.log"
    e2e_note "$(grep 'drip of' "$XS_DIR/log/service-fault.log" | sed 's/.*ended: //') dripped"
fi
target=$(($(fl_requests) + 3))
e2e_eventually 30 "three more polls" eval '(($(fl_requests) >= target))'
fl_alive
fl_expect "the good notice popped up once ($(fl_seen 公告) pop-ups)" eval '(($(fl_seen 公告) == 1))'
fl_expect "it is stored once ($(fl_rows "$db") rows)" eval '(($(fl_rows "$db") == 1))'
fl_expect "no window for a notice without a kind (garbage)" eval '(($(fl_seen "$FL_POPUP_TITLE") == 0))'
fl_done
