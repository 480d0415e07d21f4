#!/usr/bin/env bash
# Another program holds an exclusive lock on the user's Info.db for 10 s while the
# same notice is offered at every poll. A duplicate test that could not run is no
# "new" notice: nothing pops up while the lock is held, and the notice waits for the
# first poll after the lock; then it pops up once and is stored once. The tray menu
# opens at once and the polls go on while the lock is held.
. "$(dirname "$0")/faults-lib.sh"
fl_init "$1" 100 VantobelPlayTray vantobel-vendor-service

# Nothing at the first poll; then the same notice at every poll.
e2e_serve user '' '' '' 1 '锁住时的公告' /news/locked 公告 14
db=$(e2e_user_db locked keep)
e2e_tray "$(e2e_parent locked)"
e2e_wait_icon
e2e_eventually 20 "the first notice poll" eval '(($(e2e_notice_requests) >= 1))'

# The lock is taken while the tray runs and let go after 10 s. The tray may be reading
# at that moment: the locker waits for it as any well-behaved program would.
(
    echo '.timeout 5000'
    echo 'BEGIN EXCLUSIVE;'
    echo 'select count(*) from HistoryNews;'
    sleep 10
    echo "$(e2e_notice_requests) $(fl_seen 公告)" >"$XS_DIR/at-lock-end"
    echo 'COMMIT;'
) | sqlite3 "$db" >/dev/null 2>"$XS_DIR/log/lock.log" &
locker=$!
XS_PIDS+=("$locker")
e2e_eventually 10 "the other program to hold the lock" eval '! sqlite3 -cmd ".timeout 0" "$db" "select count(*) from HistoryNews" >/dev/null 2>&1'
e2e_note "another program holds an exclusive lock on $db for 10 s"
# The interface waits for the lock only briefly: the menu opens at any moment.
for try in 1 2 3; do
    e2e_menu_opens 2 "while the database is locked (try $try)"
    sleep 1
done
xs_wait 15 "the lock to end" eval '! e2e_running "$locker"'
read -r polls during <"$XS_DIR/at-lock-end"
e2e_check "the tray keeps polling while the lock is held ($((polls - 1)) polls)" eval '((polls - 1 >= 1))'
e2e_check "nothing pops up while the duplicate test cannot run ($during pop-ups)" eval '((during == 0))'

e2e_eventually 20 "the notice pops up once the lock is gone" eval '(($(fl_seen 公告) >= 1))'
fl_polls_after 3
fl_alive
e2e_check "it popped up once ($(fl_seen 公告) pop-ups)" eval '(($(fl_seen 公告) == 1))'
e2e_check "it is stored exactly once ($(e2e_rows "$db") rows)" eval '(($(e2e_rows "$db") == 1))'
e2e_pass
