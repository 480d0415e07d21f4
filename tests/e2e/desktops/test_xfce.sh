#!/usr/bin/env bash
# Xfce's panel on an X display: its systray plugin hosts StatusNotifierItems. The
# tray starts before the panel, says there is no tray, and its icon comes to the
# panel when the panel does; the host's reads and calls then work as on sway.
. "$(dirname "$0")/desktop-lib.sh" || exit 1
dt_on_private_bus "$@"
dt_need xfce4-panel xfce4-panel xfconf-query xfconf Xvfb xvfb openbox openbox xwininfo x11-utils xdotool xdotool \
    import imagemagick
dt_init "$1" 120 VantobelPlayTray vantobel-vendor-service VantobelPlay

# The display and its window manager, as the other end-to-end tests have them.
started=
for attempt in 1 2 3; do
    n=$(xs_free_display) || break
    xs_spawn Xvfb Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset
    export DISPLAY=:$n
    xs_wait 10 "display $DISPLAY" xs_display_up && kill -0 "${XS_PIDS[-1]}" 2>/dev/null && started=1 && break
done
[[ -n $started ]] || dt_skip "no Xvfb display came up"
dt_bus_environment
xs_spawn openbox openbox --sm-disable
xs_wait 10 "openbox to manage the screen" xs_wm_up || e2e_fail "openbox did not start"

# One panel along the top edge with the systray plugin only.
channel=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
mkdir -p "$channel"
cat >"$channel/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML

dt_notices "$XS_DIR/notices.xml" "桌面测试公告"
e2e_service "$XS_DIR/notices.xml"
db=$(dt_keep_popups xfceuser)
export VANTOBEL_TRAY_ONLINE=1
fields='p1|||xfceuser|||secret|||p4|||p5|||p6|||p7'

# No panel yet: the tray says so and runs on.
e2e_tray "/u|||E2E|||$fields"
e2e_eventually 20 "the no-tray message" dt_log_has tray 'no system tray found'

xs_spawn panel xfce4-panel
watcher() { dt_gdbus --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher | grep -q true; }
xs_wait 30 "the panel's StatusNotifierWatcher" watcher ||
    dt_skip "xfce4-panel started no StatusNotifierWatcher here: $(tail -n 3 "$XS_DIR/log/panel.log" | tr '\n' ' ')"
e2e_eventually 20 "the tray to see the panel" dt_log_has tray 'a system tray appeared'

. "$DT_HERE/sni-checks.sh"
e2e_eventually 20 "the item to register with the panel's watcher" dt_find_item "$E2E_TRAY_PID"
e2e_note "item $DT_SNI_SERVICE$DT_SNI_PATH"
dt_check_item_looks "$db"

dt_wait_popup_whole
sleep 1
import -window root "$PWD/desktop-xfce.png" 2>/dev/null && e2e_note "screenshot: $PWD/desktop-xfce.png"

dt_check_item_clicks "$fields"
e2e_quit_tray
mv "$XS_DIR/log/tray.log" "$XS_DIR/log/tray-before-the-panel.log"
dt_check_offline_look "/u|||E2E|||$fields"
[[ $(dt_count_in_log tray 'no system tray found') == 0 ]] || e2e_fail "the tray with a panel said there was no tray"
e2e_pass
