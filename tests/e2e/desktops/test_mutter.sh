#!/usr/bin/env bash
# GNOME's compositor without a tray extension: mutter headless on Wayland with
# XWayland. The tray, left to choose its platform, runs its windows on XWayland: a
# notice's pop-up rests at the bottom right of the virtual monitor. No tray is there,
# which it says once on stderr while it keeps polling; the menu entry's actions open
# its windows. Without XWayland it runs on Wayland itself.
. "$(dirname "$0")/desktop-lib.sh" || exit 1
dt_on_private_bus "$@"
e2e_need mutter Xwayland
compgen -G '/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so' >/dev/null ||
    e2e_fail "Qt's Wayland platform is missing (qt6-wayland; scripts/install-deps.sh installs it)"
e2e_init "$1" 110 VantobelPlayTray vantobel-vendor-service

# mutter names its displays in its log; XWayland comes up on the first X client.
xs_spawn mutter mutter --wayland --headless --virtual-monitor 1280x800
xs_wait 30 "mutter's displays" grep -q 'Using public X11 display' "$XS_DIR/log/mutter.log" ||
    e2e_fail "mutter did not start a headless Wayland session here: $(tail -n 3 "$XS_DIR/log/mutter.log" | tr '\n' ' ')"
x11=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$XS_DIR/log/mutter.log" | head -n1)
wayland=$(sed -n "s/.*Using Wayland display name '\([^']*\)'.*/\1/p" "$XS_DIR/log/mutter.log" | head -n1)
auth=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
[[ -n $x11 && -n $wayland && -n $auth ]] || e2e_fail "mutter named no displays (X11 '$x11', Wayland '$wayland', auth '$auth')"
export DISPLAY=$x11 XAUTHORITY=$auth
e2e_eventually 30 "XWayland on $DISPLAY" xs_display_up
e2e_note "mutter: Wayland $wayland, XWayland $DISPLAY"

e2e_serve user 桌面测试公告 /news/desktop 公告 1
e2e_user_db gnome keep >/dev/null
export VANTOBEL_TRAY_ONLINE=1
user=$(e2e_parent gnome)
WAYLAND_DISPLAY=$wayland XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME e2e_tray "$user"

uses_plugin() { grep -q "plugins/platforms/lib$2" "/proc/$1/maps"; }
e2e_eventually 30 "the pop-up on XWayland" e2e_one_popup
e2e_check "the tray runs on Qt's X11 platform" uses_plugin "$E2E_TRAY_PID" qxcb
popup=$(e2e_managed_windows)
# It rises from below the screen (mutter holds it at the edge meanwhile) and rests
# just above the bottom edge, at the right of the 1280x800 virtual monitor.
xs_wait 30 "the pop-up to rest at the bottom right" e2e_popup_rests_bottom_right "$popup" ||
    e2e_fail "pop-up at $(e2e_window_geometry "$popup") (x y width height), not resting at the bottom right"
e2e_check_popup_kind "$popup"

# No tray: said once, and the notice polling goes on.
missing='no system tray found'
e2e_eventually 15 "the no-tray message" dt_log_has tray "$missing"
polls=$(e2e_notice_requests)
more_polls() { (($(e2e_notice_requests) > polls + 1)); }
e2e_eventually 20 "the notice polling to go on" more_polls
[[ $(dt_count_in_log tray "$missing") == 1 ]] || e2e_fail "the no-tray message came more than once"
e2e_check "the no-tray message says how GNOME gets the icon" dt_log_has tray 'AppIndicator extension'

# Without an icon the menu entry is the way in: its actions reach this tray over the
# link (started as the desktop starts them), and so does a plain start from the menu.
entry=$DT_HERE/../../../packaging/vantobel-play-tray.desktop
action() { sed -n "/^\[Desktop Action $1\]/,/^\[/s/^Exec=VantobelPlayTray //p" "$entry"; }
start_again() { timeout 20 "$E2E_PROG/VantobelPlayTray" "$@" >>"$XS_DIR/log/tray-second.log" 2>&1; }
start_again $(action message-box)
e2e_eventually 15 "the message box action to open the message box" e2e_window_named 我的消息盒子
box=$(e2e_window_named 我的消息盒子)
new_box() { local w; w=$(e2e_window_named 我的消息盒子) && [[ $w != "$box" ]]; }
start_again /TRAY
e2e_eventually 15 "a start from the menu to open the message box afresh" new_box
start_again $(action settings)
e2e_eventually 15 "the settings action to open the settings" e2e_window_named 系统设置
start_again $(action quit)
e2e_eventually 15 "the quit action to ask first" e2e_window_named '退出程序？'
e2e_check "the tray still runs while it asks" e2e_running "$E2E_TRAY_PID"
e2e_quit_tray

# Without XWayland: Qt falls back to Wayland itself, and the tray runs there.
mv "$XS_DIR/log/tray.log" "$XS_DIR/log/tray-xwayland.log"
xs_spawn tray env -u DISPLAY -u XAUTHORITY WAYLAND_DISPLAY="$wayland" XDG_SESSION_TYPE=wayland QT_LOGGING_RULES='qt.qpa.*=false' \
    "$E2E_PROG/VantobelPlayTray" "$user"
E2E_TRAY_PID=${XS_PIDS[-1]}
e2e_eventually 20 "the tray on Wayland to say there is no tray" dt_log_has tray "$missing"
e2e_check "the tray on Wayland still runs" e2e_running "$E2E_TRAY_PID"
e2e_check "the tray runs on Qt's Wayland platform" uses_plugin "$E2E_TRAY_PID" qwayland
e2e_quit_tray
e2e_pass
