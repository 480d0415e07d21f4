#!/usr/bin/env bash
# The program against a bare Qt tray, side by side on one private X desktop (Xvfb,
# openbox, trayer): the two are started alternately, killed between starts, and the
# medians of each figure are compared.
#
#   bench-tray.sh BUILD_DIR      (a Release build with bin/VantobelPlayTray and bench/bare-tray)
#
# The start is timed from exec to the icon's window mapped in the tray.
# BENCH_RUNS (7) starts of each; BENCH_IDLE_SECONDS (20) the idle CPU window. Then it
# runs the notice and rise benchmark (notice-rise.sh) and the long run (long-run.sh)
# beside it, which need the demo stand-ins (demo-bin/), and prints one table with a
# met / MISSED line per target.
. "$(dirname "$0")/../../tests/e2e/e2e-lib.sh"
. "$(dirname "$0")/bench-lib.sh"
E2E_NAME=bench-tray

build=$(cd "${1:-build-rel}" && pwd) || exit 1
bare=$build/bench/bare-tray
runs=${BENCH_RUNS:-7}
idle=${BENCH_IDLE_SECONDS:-20}
[[ -x $bare ]] || e2e_fail "no $bare (build the bare-tray target)"
# The stand-ins (only the vendor service is needed) come from the build's demo-bin/.
# The limit covers the benchmarks run beside this one too (the long run takes minutes).
e2e_init "$build/bin" $((runs * 2 * (idle + 15) + 60 + ${BENCH_EXTRA_LIMIT:-3600})) VantobelPlayTray
# The program's own one-second ticks, not the tests' fast ones.
unset VANTOBEL_TRAY_TICK_MS
here=$(cd "$(dirname "$0")" && pwd)

# The icon's arrival is stamped by bench/xwatch from X's own map event, so nothing
# polls while the two programs start: a poll loop of xwininfo took CPU from the start
# it timed, and more from the program that has more to do. At start the icon is the
# only window either program maps.
watcher=$build/bench/xwatch
[[ -x $watcher ]] || e2e_fail "no $watcher (build the xwatch target)"
events=$XS_DIR/xwatch.tsv
"$watcher" >"$events" 2>>"$XS_DIR/log/xwatch.log" &
XS_PIDS+=($!)
e2e_eventually 10 "the X watcher to start" grep -q '^READY' "$events"
# mapped_since US CLASS: the stamp of the first window of CLASS mapped at or after US.
mapped_since() { awk -F'\t' -v t="$1" -v c="$2" '$1 >= t && $2 == "MAP" && $12 == c {print $1; exit}' "$events"; }

# measure NAME CLASS PROGRAM: one start; appends "start_ms rss_kb cpu_percent" to $XS_DIR/NAME.
measure() {
    local name=$1 class=$2 prog=$3 t0 t1 pid c0 c1 rss
    t0=$(now_us)
    "$prog" >>"$XS_DIR/log/$name.log" 2>&1 &
    pid=$!
    XS_PIDS+=($pid)
    # The first look comes after a start's usual time, so that it does not compete.
    until sleep 0.2 && t1=$(mapped_since "$t0" "$class") && [[ -n $t1 ]]; do
        (($(now_us) - t0 < 20000000)) || e2e_fail "$name: no icon within 20 s"
        e2e_running "$pid" || e2e_fail "$name ended before its icon showed"
    done
    e2e_eventually 10 "$name's icon in the tray" eval "[[ -n \$(xs_tray_icons $class) ]]"
    sleep 5
    rss=$(rss_kb "$pid")
    c0=$(cpu_ns "$pid")
    sleep "$idle"
    c1=$(cpu_ns "$pid")
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null
    e2e_eventually 10 "$name's icon to go" eval "[[ -z \$(xs_tray_icons $class) ]]"
    awk -v s=$(((t1 - t0) / 1000)) -v r="$rss" -v d=$((c1 - c0)) -v t="$idle" \
        'BEGIN {printf "%d %d %.4f\n", s, r, 100 * d / 1e9 / t}' >>"$XS_DIR/$name"
    e2e_note "$name run: $(tail -n1 "$XS_DIR/$name")"
}

for ((i = 1; i <= runs; i++)); do
    measure bare bare-tray "$bare"
    measure tray VantobelPlayTray "$E2E_PROG/VantobelPlayTray"
done

# The benchmarks beside this one, each on a desktop of its own: their table rows and
# verdicts join this table.
extra_rows=$XS_DIR/extra-rows extra_verdicts=$XS_DIR/extra-verdicts
: >"$extra_rows"
: >"$extra_verdicts"
for part in notice-rise long-run picture-memory; do
    [[ -x $here/$part.sh ]] || continue
    e2e_note "running $part.sh"
    if "$here/$part.sh" "$build" >"$XS_DIR/$part.out"; then
        grep '^| ' "$XS_DIR/$part.out" >>"$extra_rows"
        grep -E '^(met|MISSED) ' "$XS_DIR/$part.out" >>"$extra_verdicts"
    else
        echo "MISSED $part.sh could not measure (see its notes above)" >>"$extra_verdicts"
    fi
done

col() { awk -v c="$2" '{print $c}' "$XS_DIR/$1" | median; }
bs=$(col bare 1) ts=$(col tray 1)
br=$(col bare 2) tr=$(col tray 2)
bc=$(col bare 3) tc=$(col tray 3)
sr=$(ratio "$ts" "$bs") rr=$(ratio "$tr" "$br")

printf '\nTray benchmark, medians of %d alternating starts each (%s)\n\n' "$runs" "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| %-28s | %14s | %16s | %6s |\n' "" "bare Qt tray" "VantobelPlayTray" "ratio"
printf '|%s|%s|%s|%s|\n' ------------------------------ ---------------- ------------------ --------
printf '| %-28s | %11d ms | %13d ms | %6s |\n' "start to icon embedded" "$bs" "$ts" "$sr"
printf '| %-28s | %11s MB | %13s MB | %6s |\n' "RSS 5 s after the icon" "$(mb "$br")" "$(mb "$tr")" "$rr"
printf '| %-28s | %13s%% | %15s%% | %6s |\n' "idle CPU over ${idle} s" "$bc" "$tc" "-"
cat "$extra_rows"
echo

verdict "start to icon <= 1.2x the bare tray" "$sr" 1.2
verdict "RSS <= 1.15x the bare tray" "$rr" 1.15
verdict "idle CPU <= 0.05% of a core" "$tc" 0.05
cat "$extra_verdicts"
# Leaves through the EXIT trap, which stops the whole session.
exit 0
