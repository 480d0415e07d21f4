#!/usr/bin/env bash
# GNOME's compositor without a tray extension: mutter headless on Wayland with
# XWayland. The tray, left to choose its platform, runs its windows on XWayland: a
# notice's pop-up rests at the bottom right of the virtual monitor. No tray is there,
# which it says once on stderr while it keeps polling. Without XWayland it runs on
# Wayland itself.
. "$(dirname "$0")/desktop-lib.sh" || exit 1
dt_on_private_bus "$@"
dt_need mutter mutter Xwayland xwayland xwininfo x11-utils xdotool xdotool
dt_init "$1" 110 VantobelPlayTray vantobel-vendor-service

# mutter names its displays in its log; XWayland comes up on the first X client.
xs_spawn mutter mutter --wayland --headless --virtual-monitor 1280x800
xs_wait 30 "mutter's displays" grep -q 'Using public X11 display' "$XS_DIR/log/mutter.log" ||
    dt_skip "mutter did not start a headless Wayland session here: $(tail -n 3 "$XS_DIR/log/mutter.log" | tr '\n' ' ')"
x11=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$XS_DIR/log/mutter.log" | head -n1)
wayland=$(sed -n "s/.*Using Wayland display name '\([^']*\)'.*/\1/p" "$XS_DIR/log/mutter.log" | head -n1)
auth=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
[[ -n $x11 && -n $wayland && -n $auth ]] || e2e_fail "mutter named no displays (X11 '$x11', Wayland '$wayland', auth '$auth')"
export DISPLAY=$x11 XAUTHORITY=$auth
xs_wait 30 "XWayland on $DISPLAY" xs_display_up || dt_skip "XWayland did not start under mutter"
e2e_note "mutter: Wayland $wayland, XWayland $DISPLAY"

dt_notices "$XS_DIR/notices.xml" "桌面测试公告"
e2e_service "$XS_DIR/notices.xml"
db=$(dt_keep_popups gnome)
export VANTOBEL_TRAY_ONLINE=1
user='/u|||E2E|||p1|||gnome|||secret|||p4|||p5|||p6|||p7'
WAYLAND_DISPLAY=$wayland XDG_SESSION_TYPE=wayland e2e_tray "$user"

uses_plugin() { grep -q "plugins/platforms/lib$2" "/proc/$1/maps"; }
has_one_popup() { [[ $(e2e_managed_count) == 1 ]]; }
e2e_eventually 30 "the pop-up on XWayland" has_one_popup
e2e_check "the tray runs on Qt's X11 platform" uses_plugin "$E2E_TRAY_PID" qxcb
popup=$(e2e_managed_windows)
# It rises from below the screen (mutter holds it at the edge meanwhile) and rests
# just above the bottom edge, at the right.
read -r sw sh <<<"$(xdotool getdisplaygeometry)"
[[ "${sw}x${sh}" == 1280x800 ]] || e2e_fail "the virtual monitor is ${sw}x${sh}"
in_place() {
    local x y w h right bottom
    read -r x y w h <<<"$(e2e_window_geometry "$popup")"
    [[ -n $h ]] || return 1
    right=$((sw - x - w)) bottom=$((sh - y - h))
    ((w > 150 && h > 100 && right >= 0 && right <= 12 && bottom >= 25 && bottom <= 70))
}
at_rest() {
    local a b
    a=$(e2e_window_geometry "$popup")
    sleep 0.5
    b=$(e2e_window_geometry "$popup")
    [[ -n $a && $a == "$b" ]] && in_place
}
if ! xs_wait 30 "the pop-up to rest at the bottom right" at_rest; then
    e2e_fail "pop-up at $(e2e_window_geometry "$popup") (x y width height), not resting at the bottom right"
fi
e2e_note "pop-up at rest: $(e2e_window_geometry "$popup") (x y width height) on ${sw}x${sh}"

# No tray: said once, and the notice polling goes on.
missing='no system tray found'
e2e_eventually 15 "the no-tray message" dt_log_has tray "$missing"
polls=$(e2e_notice_requests)
more_polls() { (($(e2e_notice_requests) > polls + 1)); }
e2e_eventually 20 "the notice polling to go on" more_polls
[[ $(dt_count_in_log tray "$missing") == 1 ]] || e2e_fail "the no-tray message came more than once"
e2e_check "the tray still runs" e2e_running "$E2E_TRAY_PID"
e2e_quit_tray

# Without XWayland: Qt falls back to Wayland itself, and the tray runs there.
mv "$XS_DIR/log/tray.log" "$XS_DIR/log/tray-xwayland.log"
if compgen -G '/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so' >/dev/null; then
    (
        unset DISPLAY XAUTHORITY
        WAYLAND_DISPLAY=$wayland XDG_SESSION_TYPE=wayland QT_LOGGING_RULES='qt.qpa.*=false' e2e_tray "$user"
        echo "$E2E_TRAY_PID" >"$XS_DIR/wayland-tray.pid"
    )
    E2E_TRAY_PID=$(cat "$XS_DIR/wayland-tray.pid")
    e2e_eventually 20 "the tray on Wayland to say there is no tray" dt_log_has tray "$missing"
    e2e_check "the tray on Wayland still runs" e2e_running "$E2E_TRAY_PID"
    e2e_check "the tray runs on Qt's Wayland platform" uses_plugin "$E2E_TRAY_PID" qwayland
    e2e_quit_tray
else
    e2e_note "qt6-wayland is not installed: the Wayland fallback is not tried"
fi
e2e_pass
