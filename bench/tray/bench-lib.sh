# Shared by the tray benchmarks (sourced after tests/e2e/e2e-lib.sh): measuring a
# process, and the table's rows and verdicts, one format for every part.

now_us() { echo $((${EPOCHREALTIME/./})); }
# CPU time of every thread in nanoseconds: the scheduler's own count, far finer than
# the clock ticks of /proc/PID/stat. (%.0f, not %d: mawk's %d stops at 2^31, 2.1 s.)
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%.0f\n", s}'; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }

# row LABEL BARE PROGRAM RATIO: one line of the table.
row() { printf '| %-28s | %14s | %16s | %6s |\n' "$@"; }
# verdict TEXT VALUE LIMIT: met when VALUE is a number no greater than LIMIT.
verdict() {
    if awk -v v="$2" -v l="$3" 'BEGIN {exit !(v != "-" && v <= l)}'; then
        echo "met   $1 ($2)"
    else
        echo "MISSED $1 ($2)"
    fi
}
