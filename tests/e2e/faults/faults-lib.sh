#!/usr/bin/env bash
# Shared steps of the fault tests: the e2e desktop (e2e-lib.sh) plus what a fault
# needs: small file systems that are read-only or full, a record of every window the
# tray maps (pop-ups and prompts, so "shown once" can be checked after the fact),
# the tray menu opening while things go wrong, and checks that go on after a failure
# so that one run lists everything the user would meet.
#
#   . faults-lib.sh; fl_init <build/bin> SECONDS BINARY...; ...; fl_done

FL_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Mounts made here stay private to this test: they vanish with its last process even
# when it is killed, and nobody else on the machine sees a full or read-only folder.
if [[ -z ${FL_PRIVATE_MOUNTS:-} ]] && command -v unshare >/dev/null &&
    unshare --mount --propagation private true 2>/dev/null; then
    export FL_PRIVATE_MOUNTS=1
    exec unshare --mount --propagation private bash "$0" "$@"
fi

. "$FL_HERE/../e2e-lib.sh"

# Prompts are message boxes titled like the program (their text cannot be read from
# outside on X11); a pop-up is titled with its notice's kind.
FL_APP_TITLE=VantobelPlayTray
FL_MOUNTS=()
FL_WINLOG=

fl_cleanup() {
    local dir=$XS_DIR m
    xs_stop
    for m in "${FL_MOUNTS[@]}"; do umount -l "$m" 2>/dev/null; done
    [[ -n $dir && -z ${XS_KEEP:-} ]] && rm -rf "$dir"
}

# fl_init BUILD_BIN SECONDS BINARY...: e2e_init, a fast tick, the window record.
fl_init() {
    # A poll every 600 ticks: 1.8 s; the 60-tick close of other notices: 0.18 s.
    export VANTOBEL_TRAY_TICK_MS=${VANTOBEL_TRAY_TICK_MS:-3}
    e2e_init "$@"
    trap fl_cleanup EXIT
    export VANTOBEL_TRAY_ONLINE=1
    FL_WINLOG=$XS_DIR/windows.log
    : >"$FL_WINLOG"
    (
        while :; do
            now=$(date +%s.%N)
            for w in $(e2e_managed_windows); do
                printf '%s %s %s\n' "$now" "$w" "$(xdotool getwindowname "$w" 2>/dev/null)"
            done >>"$FL_WINLOG"
            sleep 0.2
        done
    ) &
    XS_PIDS+=($!)
}

# fl_tmpfs DIR SIZE: a small file system on DIR (root makes it; CI runs as root).
fl_tmpfs() {
    mkdir -p "$1"
    mount -t tmpfs -o "size=$2,mode=0755" tmpfs "$1" 2>"$XS_DIR/mount.err" ||
        e2e_fail "cannot mount a tmpfs on $1 ($(cat "$XS_DIR/mount.err")); this test needs root and mount rights"
    FL_MOUNTS+=("$1")
}

fl_readonly() { mount -o remount,ro "$1" || e2e_fail "cannot make $1 read-only"; }

# fl_fill DIR: takes every free byte of DIR's file system (into DIR/filler).
fl_fill() {
    dd if=/dev/zero of="$1/filler" bs=4k 2>/dev/null
    [[ $(df --output=avail -B1 "$1" | tail -n1 | tr -d ' ') -lt 4096 ]] || e2e_fail "could not fill $1"
}

# fl_service_again LOGNAME NOTICES_FILE [ARGS...]: replaces the running demo service by
# another on the same port; requests are then counted in log/LOGNAME.log.
FL_SERVICE_LOG=service
fl_service_again() {
    local log=$1 notices=$2
    shift 2
    kill -TERM "$E2E_SERVICE_PID" 2>/dev/null
    wait "$E2E_SERVICE_PID" 2>/dev/null
    xs_spawn "$log" "$E2E_PROG/vantobel-vendor-service" --port "$E2E_PORT" --notices "$notices" "$@"
    E2E_SERVICE_PID=${XS_PIDS[-1]}
    FL_SERVICE_LOG=$log
    e2e_eventually 15 "the service to listen again" grep -q 'listening on' "$XS_DIR/log/$log.log"
}
# Notice requests the current service has answered, and their times (seconds since the epoch).
fl_requests() { grep -c 'GET /notice?' "$XS_DIR/log/$FL_SERVICE_LOG.log" 2>/dev/null || true; }
fl_request_times() {
    local t
    grep 'GET /notice?' "$XS_DIR/log/$FL_SERVICE_LOG.log" | cut -d' ' -f1 | while read -r t; do
        date -d "$t" +%s.%N
    done
}

# Windows on screen now with exactly this title.
fl_windows_named() {
    local w
    for w in $(e2e_managed_windows); do
        [[ $(xdotool getwindowname "$w" 2>/dev/null) == "$1" ]] && echo "$w"
    done
}

# fl_seen NAME [TIME]: from the record, how many different windows with this title
# were ever mapped (before TIME, seconds since the epoch as date +%s.%N prints it).
fl_seen() {
    awk -v n="$1" -v t="${2:-}" '{id=$2; s=$1; $1=""; $2=""; sub(/^ +/, ""); if ($0 == n && (t == "" || s < t)) print id}' \
        "$FL_WINLOG" | sort -u | grep -c . || true
}

fl_prompt_count() { fl_windows_named "$FL_APP_TITLE" | grep -c . || true; }

# fl_answer_prompts [LIMIT]: presses Enter on every prompt on screen until none is left
# (a prompt may show the next one when it closes); at most LIMIT presses.
fl_answer_prompts() {
    local limit=${1:-10} w
    while ((limit-- > 0)); do
        w=$(fl_windows_named "$FL_APP_TITLE" | head -n1)
        [[ -n $w ]] || return 0
        { xdotool windowactivate --sync "$w" >/dev/null 2>&1 && xdotool key Return; } || xdotool key --window "$w" Return
        sleep 0.5
    done
}

# fl_menu_opens SECONDS WHY: a right click on the icon opens the menu within the time
# (the tray is not frozen or blocked by an open prompt); Escape closes it again.
fl_menu_opens() {
    e2e_click_icon 3
    fl_expect "$1" "the tray menu opens $2" e2e_menu_open
    xdotool key Escape
    xs_wait 10 "the menu to close" eval '! e2e_menu_open' || xdotool key Escape
}

# fl_polls_after N: waits until the service has answered N more notice requests.
fl_polls_after() {
    local target=$(($(fl_requests) + $1))
    e2e_eventually $((6 * $1 + 10)) "$1 more notice polls" eval '(($(fl_requests) >= target))'
}

fl_alive() { e2e_running "$E2E_TRAY_PID" || { FL_FAILED+=("the tray still runs (no crash) ${1:-}") && fl_done; }; }

# fl_expect [SECONDS] DESCRIPTION COMMAND...: a check that lets the test go on (within
# the time), so one run shows every way the tray fails the user; fl_done fails the
# test when any of them did.
FL_FAILED=()
fl_expect() {
    local limit=0
    [[ $1 =~ ^[0-9]+$ ]] && limit=$1 && shift
    local what=$1
    shift
    if xs_wait "$limit" "$what" "$@"; then
        e2e_note "ok: $what"
    else
        e2e_note "NOT OK: $what"
        FL_FAILED+=("$what")
    fi
}
fl_done() {
    ((${#FL_FAILED[@]} == 0)) && e2e_pass
    printf "[$E2E_NAME] failed: %s\n" "${FL_FAILED[@]}" >&2
    e2e_fail "${#FL_FAILED[@]} of the checks failed"
}
