#!/usr/bin/env bash
# A notice's road and the pop-up's rise, on a private X desktop (Xvfb, openbox,
# trayer), timed from X's own events:
#   - from the stand-in service's answer leaving to the pop-up window mapped;
#   - the CPU the program uses while the pop-up rises (% of one core), and the
#     largest gap between two position steps of the rise (the design step is 10 ms).
#
#   notice-rise.sh BUILD_DIR     (a Release build with bin/VantobelPlayTray,
#                                 demo-bin/vantobel-vendor-service and bench/xwatch)
#
# Then the bare tray shows a window of text BENCH_RUNS times, each from its own start:
# what a pop-up in a process of its own would cost before it could rise.
#
# One start of the program, online, at its real one-second ticks; only the notice
# download comes every BENCH_POLL_TICKS (3) ticks instead of every 600
# (VANTOBEL_TRAY_POLL_TICKS). The service hands out a different notice at every
# request, so BENCH_RUNS (7) pop-ups open, one every few seconds, each rising alone.
# bench/xwatch reports the map and every move of each window with a microsecond
# stamp and the program's CPU time at that moment (/proc/PID/task/*/schedstat).
#
# stdout: table rows and met/MISSED lines only; notes go to stderr. Exit 0 when it
# measured (also when a target is missed), non-zero when it could not.
. "$(dirname "$0")/../../tests/e2e/e2e-lib.sh"
. "$(dirname "$0")/bench-lib.sh"
E2E_NAME=notice-rise

build=$(cd "${1:-build-rel}" 2>/dev/null && pwd) || e2e_fail "no build folder ${1:-build-rel}"
watcher=$build/bench/xwatch
runs=${BENCH_RUNS:-7}
period=${BENCH_POLL_TICKS:-3}
[[ -x $watcher ]] || e2e_fail "no $watcher (build the xwatch target)"
e2e_init "$build/bin" $((runs * period + 120)) VantobelPlayTray vantobel-vendor-service
# The program's own one-second ticks: the pop-up's count timer and the host's timers
# run as they do for a user; the move timer is the pop-up's own 10 ms timer.
unset VANTOBEL_TRAY_TICK_MS
export VANTOBEL_TRAY_POLL_TICKS=$period
kind=BenchNotice

{
    printf '<?xml version="1.0" encoding="utf-8"?>\n<Notices>\n'
    for ((i = 1; i <= runs + 2; i++)); do
        printf '<Notice kind="user"><Title>Bench notice %d</Title><Url>/news/bench%d</Url><Pic>/pic/bench%d.png</Pic>' "$i" "$i" "$i"
        printf '<Brief>Notice number %d of the benchmark, with a picture and a line of text.</Brief>' "$i"
        printf '<TypeStr>%s</TypeStr><CrowdType>All</CrowdType><Area>All</Area><TimeAxes>2026-03-01 08:00:00</TimeAxes></Notice>\n' "$kind"
    done
    printf '</Notices>\n'
} >"$XS_DIR/notices.xml"
e2e_service "$XS_DIR/notices.xml"

VANTOBEL_TRAY_ONLINE=1 "$E2E_PROG/VantobelPlayTray" '/u|||BENCH|||p1|||benchuser|||secret|||p4|||p5|||p6|||p7' \
    >>"$XS_DIR/log/tray.log" 2>&1 &
pid=$!
e2e_note "program pid $pid"
XS_PIDS+=($pid)
events=$XS_DIR/xwatch.tsv
"$watcher" --pid "$pid" >"$events" 2>>"$XS_DIR/log/xwatch.log" &
XS_PIDS+=($!)
e2e_eventually 10 "the X watcher to start" grep -q '^READY' "$events"

# A pop-up's client window is mapped with the notice's kind as its title.
popups() { awk -F'\t' -v k="$kind" '$2 == "MAP" && $3 == $10 && $13 == k' "$events" | grep -c .; }
e2e_note "waiting for $runs pop-ups, one every ${period} s"
deadline=$((SECONDS + runs * period + 60))
while (($(popups) < runs)); do
    ((SECONDS < deadline)) || e2e_fail "only $(popups) of $runs pop-ups within the time"
    e2e_running "$pid" || e2e_fail "the program ended"
    sleep 0.5
done
# The last rise takes a little over a second.
sleep 3
kill -TERM "$pid"
wait "$pid" 2>/dev/null

# For comparison, the road of a pop-up shown by a process of its own: from exec to a
# mapped window of Chinese text, for the bare tray (no store, HTML or picture to
# build, so a floor for such a process).
bare=$build/bench/bare-tray
# text_map_after US: the stamp of the bare tray's first window at least 200 px wide
# (its frame or itself) mapped since US.
text_map_after() { awk -F'\t' -v t="$1" '$1 >= t && $2 == "MAP" && $12 == "bare-tray" && $6 >= 200 {print $1; exit}' "$events"; }
if [[ -x $bare ]]; then
    for ((i = 1; i <= runs; i++)); do
        t0=$(now_us)
        "$bare" --text-window >>"$XS_DIR/log/bare.log" 2>&1 &
        bare_pid=$!
        sleep 0.2 # nothing competes with the start
        e2e_eventually 20 "the bare tray's text window" eval '[[ -n $(text_map_after "$t0") ]]'
        echo $(($(text_map_after "$t0") - t0)) >>"$XS_DIR/separate"
        kill -TERM "$bare_pid"
        wait "$bare_pid" 2>/dev/null
    done
fi

# The service's answers: ISO local time with milliseconds, as microseconds of the
# same clock as the watcher's stamps.
answers=$XS_DIR/answers
grep ' GET /notice?' "$XS_DIR/log/service.log" | while read -r stamp _; do
    date -d "$stamp" +%s%6N
done >"$answers"

# Per pop-up: "latency_ms cpu_percent largest_gap_ms steps rise_ms held_ms".
# The rise ends where the window first reaches its highest place; its steps are the
# run of ever higher places that leads there. Before that run a window manager may
# hold the window at the screen's edge (openbox keeps a title bar on the screen);
# that time is reported apart (held_ms), the CPU counts from the map on.
results=$XS_DIR/results
awk -F'\t' -v k="$kind" -v runs="$runs" '
    FNR == NR { answer[++na] = $1; next }
    { t = $1; ev = $2; w = $3; y = $5; client = $10; cpu = $11 }
    ev == "MAP" && w == client && $13 == k && !(w in mapped) { order[++np] = w; mapped[w] = t; mapcpu[w] = cpu }
    ev == "MAP" && w != client && !(w in framemap) { framemap[w] = t; frameof[w] = client; framecpu[w] = cpu }
    ev == "CONF" { n = ++nconf[w]; ct[w, n] = t; cy[w, n] = y; cc[w, n] = cpu }
    END {
        for (f in frameof) frame[frameof[f]] = f
        for (p = 1; p <= np && p <= runs; p++) {
            w = order[p]; t0 = mapped[w]; c0 = mapcpu[w]
            # Managed, the frame moves; override-redirect, the window itself.
            src = w
            if (w in frame) {
                src = frame[w]
                if (framemap[src] > t0) { t0 = framemap[src]; c0 = framecpu[src] }
            }
            a = 0
            for (i = 1; i <= na; i++) if (answer[i] <= t0) a = answer[i]
            # The highest place after the map, and the first event there.
            top = ""; e = 0
            for (i = 1; i <= nconf[src]; i++)
                if (ct[src, i] >= t0 && (top == "" || cy[src, i] < top)) { top = cy[src, i]; e = i }
            gap = 0; steps = 0; held = 0; dur = 0; lastc = c0
            if (e > 0) {
                # Back from there while each earlier place is lower on the screen.
                s = e
                while (s > 1 && ct[src, s - 1] >= t0 && cy[src, s - 1] >= cy[src, s]) s--
                # The first place of the run is where the window was held; the
                # steps are the moves from there.
                prev = cy[src, s]; last = 0; first = 0
                for (i = s + 1; i <= e; i++) {
                    if (cy[src, i] == prev) continue
                    if (last > 0 && ct[src, i] - last > gap) gap = ct[src, i] - last
                    if (first == 0) first = ct[src, i]
                    last = ct[src, i]; prev = cy[src, i]; steps++
                }
                held = first - t0; dur = ct[src, e] - t0; lastc = cc[src, e]
            }
            printf "%.1f %.2f %.1f %d %.0f %.0f\n", (a > 0 ? (t0 - a) / 1000 : -1), \
                (dur > 0 && c0 >= 0 ? 100 * (lastc - c0) / 1000 / dur : -1), gap / 1000, steps, dur / 1000, held / 1000
        }
    }' "$answers" "$events" >"$results"

e2e_note "per pop-up: latency_ms cpu_% largest_gap_ms steps rise_ms held_ms"
while read -r line; do e2e_note "  $line"; done <"$results"
measured=$(awk '$1 >= 0 && $2 >= 0 && $4 > 1' "$results" | grep -c .)
((measured == runs)) || e2e_fail "only $measured of $runs pop-ups were measured whole"

col() { awk -v c="$1" '{print $c}' "$results" | median; }
latency=$(col 1) cpu=$(col 2) gap=$(col 3) held=$(col 6)
worst=$(awk '$3 > m {m = $3} END {printf "%.1f", m}' "$results")

row "notice answer to pop-up" "-" "$latency ms" "-"
row "rise CPU (% of a core)" "-" "$cpu%" "-"
row "rise: largest step gap" "-" "$gap ms" "-"
row "rise: worst gap of $runs" "-" "$worst ms" "-"
row "rise: held by the WM first" "-" "$held ms" "-"
[[ -s $XS_DIR/separate ]] &&
    row "own process: exec to text" "$(median <"$XS_DIR/separate" | awk '{printf "%.1f", $1 / 1000}') ms" "-" "-"
verdict "notice answer to pop-up mapped <= 50 ms" "$latency" 50
verdict "rise CPU <= 2% of a core" "$cpu" 2
verdict "rise: no step gap over 30 ms" "$gap" 30
# Leaves through the EXIT trap, which stops the whole session.
exit 0
