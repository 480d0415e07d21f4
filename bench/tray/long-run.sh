#!/usr/bin/env bash
# The long run: the program online at fast ticks on a private X desktop (Xvfb, openbox,
# trayer), the demo vendor service handing out a new notice with a picture at every
# poll, every pop-up closing itself again. It compares the program's RSS after the
# first 100 polls with its RSS after the last (a leak shows as growth), and with a
# bare Qt tray's RSS; it counts the program's windows left at the end, and its CPU
# over the first and the last 100 polls (a pop-up that keeps costing at rest shows as
# a rise).
#
#   long-run.sh BUILD_DIR      (a Release build with bin/VantobelPlayTray,
#                               demo-bin/vantobel-vendor-service and bench/bare-tray)
#
# BENCH_LONG_POLLS (10000) polls; BENCH_LONG_TICK_MS (1) the program's tick;
# BENCH_LONG_POLL_TICKS (25) ticks between two polls (the program's own is 600, which
# would make 10,000 polls take two hours even at 1 ms ticks). A poll then comes as fast
# as the program takes in the last notice, about 40 ms on a two-core machine, and the
# pop-ups (closing 60 ticks after they rest) overlap a few at a time.
# RSS is read at rest: the service is held (SIGSTOP) until every pop-up has gone.
# BENCH_LONG_WRAPPER (e.g. "heaptrack -o /tmp/long") runs the program under a profiler;
# the program is killed at the end so that the profile holds all it had then.
# stdout: the table rows and the verdicts; notes go to stderr. Exit 0 when it measured.
. "$(dirname "$0")/../../tests/e2e/e2e-lib.sh"
. "$(dirname "$0")/bench-lib.sh"
E2E_NAME=long-run

build=$(cd "${1:-build-rel}" && pwd) || exit 1
bare=$build/bench/bare-tray
polls=${BENCH_LONG_POLLS:-10000}
tick=${BENCH_LONG_TICK_MS:-1}
poll_ticks=${BENCH_LONG_POLL_TICKS:-25}
((polls >= 200)) || e2e_fail "BENCH_LONG_POLLS must be at least 200 (the first and last 100 are compared)"
[[ -x $bare ]] || e2e_fail "no $bare (build the bare-tray target)"
# A poll is 600 ticks; twice that per poll, plus the starts and the quiet waits.
limit=$((polls * tick * poll_ticks * 2 / 1000 + polls / 5 + 300))
e2e_init "$build/bin" "$limit" VantobelPlayTray vantobel-vendor-service

# For the notes: RSS and its parts (the heap and other private memory, mapped files
# such as libraries and fonts, shared memory such as the windows' pixels).
rss_parts() {
    awk '/^(VmRSS|RssAnon|RssFile|RssShmem):/ {v[$1] = sprintf("%.1f", $2 / 1024)}
        END {printf "%s MB (anon %s, file %s, shmem %s)", v["VmRSS:"], v["RssAnon:"], v["RssFile:"], v["RssShmem:"]}' "/proc/$1/status"
}
answered() { grep -c 'GET /notice?.* -> 200 ' "$XS_DIR/log/service.log" 2>/dev/null || true; }
# Every X window of the program, mapped or not (Qt names its windows' class after the program).
all_windows() { xwininfo -root -tree 2>/dev/null | grep -c '"VantobelPlayTray")' || true; }
visible_windows() { e2e_tray_windows | grep -c . || true; }

# The bare tray's RSS 5 s after its icon, median of three starts; then the same after it
# has shown (and closed) a window of Chinese text, the floor for a program that shows
# text: its fonts and the text stack stay loaded.
# bare_rss_of FILE ARGS...: appends one start's RSS to FILE.
bare_rss_of() {
    local file=$1 pid
    shift
    "$bare" "$@" >>"$XS_DIR/log/bare.log" 2>&1 &
    pid=$!
    XS_PIDS+=($pid)
    e2e_eventually 20 "the bare tray's icon" eval "[[ -n \$(xs_tray_icons bare-tray) ]]"
    sleep 5
    rss_kb "$pid" >>"$file"
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null
    e2e_eventually 10 "the bare tray's icon to go" eval "[[ -z \$(xs_tray_icons bare-tray) ]]"
}
for i in 1 2 3; do
    bare_rss_of "$XS_DIR/bare-rss"
    bare_rss_of "$XS_DIR/bare-text-rss" --text-window
done
bare_rss=$(median <"$XS_DIR/bare-rss")
bare_text_rss=$(median <"$XS_DIR/bare-text-rss")
e2e_note "bare tray: $(mb "$bare_rss") MB; after a text window: $(mb "$bare_text_rss") MB"

# Notices of the kind that closes after the user's time (one minute, the shortest:
# 60 ticks), each with a picture of the service; the service makes every answer new.
{
    echo '<?xml version="1.0" encoding="utf-8"?><Notices>'
    for n in 1 2 3; do
        printf '<Notice kind="all"><Title>长跑公告%d</Title><Url>/news/long-%d</Url><Pic>/pic/long-%d.png</Pic>' "$n" "$n" "$n"
        printf '<Brief>长跑中的第%d种公告，带一张图片。</Brief><TypeStr>公告</TypeStr><CrowdType>All</CrowdType><Area>All</Area>' "$n"
        printf '<TimeAxes>2026-03-01 08:00:00</TimeAxes></Notice>\n'
    done
    echo '</Notices>'
} >"$XS_DIR/notices.xml"
e2e_service "$XS_DIR/notices.xml" --fresh-notices
service=${XS_PIDS[-1]}
db=$(e2e_user_db longuser)
e2e_sql "$db" "replace into SoftSettings (FieldStr, DataStr) values ('PopAutoClose_SysNotice', '1'), ('PopAutoCloseTime_SysNotice', '1')"

# quiet: holds the service and waits until no pop-up is on screen.
quiet() {
    kill -STOP "$service"
    e2e_eventually 60 "every pop-up to close ($1)" eval '(($(e2e_managed_count) == 0))'
    sleep 1
}

# The windows before any notice: the service is held until they are counted.
kill -STOP "$service"
wrapper=()
[[ -n ${BENCH_LONG_WRAPPER:-} ]] && read -ra wrapper <<<"$BENCH_LONG_WRAPPER"
VANTOBEL_TRAY_ONLINE=1 VANTOBEL_TRAY_TICK_MS=$tick VANTOBEL_TRAY_POLL_TICKS=$poll_ticks xs_spawn tray "${wrapper[@]}" "$E2E_PROG/VantobelPlayTray" \
    '/u|||LONG|||p1|||longuser|||secret|||p4|||p5|||p6|||p7'
tray=${XS_PIDS[-1]} outer=${XS_PIDS[-1]}
if ((${#wrapper[@]})); then
    # The program is the wrapper's child.
    e2e_eventually 20 "the program under ${wrapper[0]}" eval '[[ -n $(pgrep -n -P "$tray" -x VantobelPlayTra) ]]'
    tray=$(pgrep -n -P "$tray" -x VantobelPlayTra)
fi
e2e_eventually 20 "the program's icon" eval "[[ -n \$(xs_tray_icons VantobelPlayTray) ]]"
sleep 2
base_all=$(all_windows) base_visible=$(visible_windows)
e2e_note "program up: $base_all windows ($base_visible visible), $(rss_parts "$tray"); $polls polls at ${tick} ms ticks"

t0=$(now_us)
c0=$(cpu_ns "$tray")
kill -CONT "$service"
# wait_polls N: until the service has answered N notice requests.
wait_polls() {
    local deadline=$((SECONDS + ($1 - $(answered)) * (tick * poll_ticks * 3 / 1000 + 1) + 60))
    while (($(answered) < $1)); do
        ((SECONDS < deadline)) || e2e_fail "only $(answered) of $1 polls answered in time"
        e2e_running "$tray" || e2e_fail "the program ended after $(answered) polls"
        sleep 0.2
    done
}
wait_polls 100
t1=$(now_us) c1=$(cpu_ns "$tray")
quiet "after 100 polls"
rss_first=$(rss_kb "$tray")
e2e_note "100 polls: $(rss_parts "$tray") at rest"
kill -CONT "$service"

next=100
while ((next < polls - 100)); do
    step=$((polls / 10 > 100 ? polls / 10 : 100))
    next=$((next + step < polls - 100 ? next + step : polls - 100))
    wait_polls "$next"
    e2e_note "$next polls: $(rss_parts "$tray"), $(visible_windows) visible windows"
done
t2=$(now_us) c2=$(cpu_ns "$tray")
wait_polls "$polls"
t3=$(now_us) c3=$(cpu_ns "$tray")
quiet "after the last poll"
rss_last=$(rss_kb "$tray")
end_all=$(all_windows) end_visible=$(visible_windows)
done_polls=$(answered)
kill -CONT "$service"
# The program may be writing the history meanwhile: wait for its lock.
shown=$(sqlite3 -batch -noheader -cmd '.timeout 10000' "$db" "select count(*) from HistoryNews" 2>/dev/null)
e2e_note "$done_polls polls: $(rss_parts "$tray") at rest, $end_all windows ($end_visible visible), $shown notices in the history, $(((t3 - t0) / 1000000)) s"

cpu() { awk -v ns="$1" -v us="$2" 'BEGIN {printf "%.2f", 100 * (ns / 1000) / us}'; }
growth=$(awk -v a="$rss_first" -v b="$rss_last" 'BEGIN {printf "%+.1f", (b - a) / 1024}')
left=$(((end_all - base_all) > 0 ? end_all - base_all : 0))
left_visible=$(((end_visible - base_visible) > 0 ? end_visible - base_visible : 0))
row "long run: polls answered" "-" "$done_polls of $polls" "-"
row "long run: pop-ups opened" "-" "${shown:--}" "-"
row "long run: RSS after 100" "-" "$(mb "$rss_first") MB" "-"
row "RSS after the long run" "$(mb "$bare_rss") MB" "$(mb "$rss_last") MB" "$(ratio "$rss_last" "$bare_rss")"
row "RSS vs bare that showed text" "$(mb "$bare_text_rss") MB" "$(mb "$rss_last") MB" "$(ratio "$rss_last" "$bare_text_rss")"
row "long run: RSS growth" "-" "$growth MB" "-"
row "long run: CPU, first 100" "-" "$(cpu $((c1 - c0)) $((t1 - t0)))%" "-"
row "long run: CPU, last 100" "-" "$(cpu $((c3 - c2)) $((t3 - t2)))%" "-"
row "long run: windows left" "-" "$left ($left_visible shown)" "-"

if awk -v g="$growth" 'BEGIN {exit !(g < 2)}'; then echo "met   long run: RSS growth < 2 MB ($growth MB)"; else echo "MISSED long run: RSS growth < 2 MB ($growth MB)"; fi
if ((left == 0 && left_visible == 0)); then echo "met   long run: no window left behind (0)"; else echo "MISSED long run: no window left behind ($left, $left_visible shown)"; fi
r=$(ratio "$rss_last" "$bare_rss")
if awk -v r="$r" 'BEGIN {exit !(r != "-" && r <= 1.2)}'; then echo "met   RSS after the long run <= 1.2x the bare tray ($r)"; else echo "MISSED RSS after the long run <= 1.2x the bare tray ($r)"; fi
if ((${#wrapper[@]})); then
    kill -KILL "$tray"
    wait "$outer" 2>/dev/null
fi
# Leaves through the EXIT trap, which stops the whole session.
exit 0
