#!/usr/bin/env bash
# Shared steps of the fault tests: the e2e desktop (e2e-lib.sh) plus what a fault
# needs: small file systems that are read-only or full, a record of every window the
# tray maps (pop-ups and prompts, so "shown once" can be checked after the fact),
# and prompts answered.
#
#   . faults-lib.sh; fl_init <build/bin> SECONDS BINARY...; ...; e2e_pass

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
FL_MOUNT=
FL_WINLOG=

fl_cleanup() {
    local dir=$XS_DIR
    xs_stop
    [[ -z $FL_MOUNT ]] || umount -l "$FL_MOUNT" 2>/dev/null
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
            for w in $(e2e_managed_windows); do
                printf '%s %s\n' "$w" "$(xdotool getwindowname "$w" 2>/dev/null)"
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
    FL_MOUNT=$1
}

# fl_service_again NOTICES_FILE: replaces the running demo service by another on the
# same port, logging to the same file (so request counts go on).
fl_service_again() {
    local started
    kill -TERM "$E2E_SERVICE_PID" 2>/dev/null
    wait "$E2E_SERVICE_PID" 2>/dev/null
    started=$(grep -c 'listening on' "$XS_DIR/log/service.log")
    xs_spawn service "$E2E_PROG/vantobel-vendor-service" --port "$E2E_PORT" --notices "$1"
    E2E_SERVICE_PID=${XS_PIDS[-1]}
    e2e_eventually 15 "the service to listen again" eval '(($(grep -c "listening on" "$XS_DIR/log/service.log") > started))'
}

# Windows on screen now with exactly this title.
fl_windows_named() {
    local w
    for w in $(e2e_managed_windows); do
        [[ $(xdotool getwindowname "$w" 2>/dev/null) == "$1" ]] && echo "$w"
    done
}

# fl_seen NAME: from the record, how many different windows with this title were ever mapped.
fl_seen() { awk -v n="$1" '{id=$1; $1=""; sub(/^ /, "")} $0 == n {print id}' "$FL_WINLOG" | sort -u | grep -c .; }

fl_prompt_count() { fl_windows_named "$FL_APP_TITLE" | grep -c .; }

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

# fl_polls_after N: waits until the service has answered N more notice requests.
fl_polls_after() {
    local target=$(($(e2e_notice_requests) + $1))
    e2e_eventually $((6 * $1 + 10)) "$1 more notice polls" eval '(($(e2e_notice_requests) >= target))'
}

fl_alive() { e2e_check "the tray still runs (no crash) ${1:-}" e2e_running "$E2E_TRAY_PID"; }
