#!/usr/bin/env bash
# make demo: the tray with the demo vendor service, from a fresh program folder.
#   scripts/demo.sh [BUILD_DIR]
# On a working $DISPLAY the tray joins your desktop and runs until Ctrl+C (or until
# you choose 退出 in its menu). Without one it runs on a virtual desktop, saves a
# screenshot once the first notice has risen, and stops.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" 2>/dev/null && pwd) || {
    echo "demo: no build folder ${1:-build}; run 'make build' first" >&2
    exit 1
}
bin=$build/bin
demo_bin=$build/demo-bin
home=$build/demo-home
shot=$build/demo-screenshot.png
port=8765

for path in "$bin/VantobelPlayTray" "$demo_bin/VantobelPlay" "$demo_bin/vantobel-vendor-service"; do
    if [[ ! -x $path ]]; then
        echo "demo: $path is not built; run 'make build' first" >&2
        exit 1
    fi
done

. "$root/tests/e2e/x-session.sh"

# A fresh program folder: the built one without anything an earlier run wrote.
rm -rf "$home"
mkdir -p "$home"
(cd "$bin" && tar -cf - .) | (cd "$home" && tar -xf -)
# The stand-ins for the player, the updater and the vendor service beside the program.
cp -p "$demo_bin"/* "$home"/
find "$home/Users" -mindepth 1 -maxdepth 1 -type d ! -name 'All Users' -exec rm -rf {} + 2>/dev/null
rm -f "$home/Users/All Users/Sys.ini"
mkdir -p "$home/logs" "$home/xdg-config" "$home/xdg-data"
export VANTOBEL_PLAY_HOME=$home
export XDG_CONFIG_HOME=$home/xdg-config XDG_DATA_HOME=$home/xdg-data
# One poll a second would make the first notice wait ten minutes; 50 ms ticks bring
# it after about 30 seconds.
export VANTOBEL_TRAY_TICK_MS=${VANTOBEL_TRAY_TICK_MS:-50}
# The demo service is on this machine, so the demo counts as online even without a
# default route; set VANTOBEL_TRAY_ONLINE=0 to see the offline look.
export VANTOBEL_TRAY_ONLINE=${VANTOBEL_TRAY_ONLINE:-1}
export VANTOBEL_PLAYER_LOG=$home/logs/player.log

virtual=
display_works() {
    timeout 5 xdpyinfo >/dev/null 2>&1 || timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1
}
if [[ -n ${DISPLAY:-} ]] && display_works; then
    XS_TAG=vt-demo-$$
    export XS_TAG
    trap xs_stop EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
else
    virtual=1
    echo "demo: no usable \$DISPLAY; starting a virtual desktop (Xvfb, openbox, trayer)"
    xs_start || exit 1
fi

spawn() {
    local log=$1
    shift
    "$@" >>"$home/logs/$log.log" 2>&1 &
    XS_PIDS+=($!)
}

wait_for() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

listening() { grep -q 'listening on http://127.0.0.1:[0-9]' "$home/logs/service.log"; }
service_ended() { ! kill -0 "${XS_PIDS[-1]}" 2>/dev/null; }
# A service that cannot take the port ends at once; no need to wait the full time.
settled() { listening || service_ended; }

spawn service "$home/vantobel-vendor-service" --port "$port"
wait_for 10 settled
if ! listening; then
    # 8765 is taken: use a free port and point the copied Settings.xml at it.
    echo "demo: port $port is busy; using a free port instead"
    spawn service "$home/vantobel-vendor-service" --port 0
    wait_for 10 listening || {
        echo "demo: the vendor service did not start:" >&2
        tail -n 20 "$home/logs/service.log" >&2
        exit 1
    }
fi
port=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\).*|\1|p' "$home/logs/service.log" | tail -n1)
sed -i "s|http://127.0.0.1:[0-9]*|http://127.0.0.1:$port|g" "$home/Bin/Settings.xml"

# The parent player's demo user, known to the demo sign-in service.
spawn tray "$home/VantobelPlayTray" '/u|||DEMO|||家长|||demo|||secret123|||f4|||f5|||f6|||f7'
tray_pid=${XS_PIDS[-1]}

cat <<EOF

VantobelPlayTray demo (display $DISPLAY)
  program folder  $home
  vendor service  http://127.0.0.1:$port   (requests: $home/logs/service.log)
  tray log        $home/logs/tray.log, player commands: $home/logs/player.log
  ticks           ${VANTOBEL_TRAY_TICK_MS} ms instead of one second

A short tour:
  * The icon sits in the system tray (top right on the virtual desktop).
  * Left click: opens the player for the demo parent user (the demo player starts,
    or gets "/U|||..." if it already runs).
  * Right click: the menu. 消息盒 lists every notice received; 系统设置 holds
    start-at-log-in, do-not-disturb and per-kind pop-up settings; 关于我们 is the
    about box; Brightsprout培养计划 holds both players and the sibling programs;
    家务中心 opens the signed-in home page in your browser; 退出 quits.
  * About 30 s after start the tray polls the demo service; each new notice rises
    at the bottom right of the screen. Click its title or text to open it (it is
    then marked read). Another one follows every 30 s while the service has any.
  * With two or more unread notices the icon takes its unread look (checked every
    15 s here); opening 消息盒 turns it back.
EOF

tray_alive() { kill -0 "$tray_pid" 2>/dev/null; }

if [[ -z $virtual ]]; then
    echo
    echo "Ctrl+C stops the demo (tray, player and service)."
    while tray_alive; do
        sleep 0.5
    done
    echo "demo: the tray has ended"
    exit 0
fi

# Virtual desktop: wait for the first pop-up to rise, then take the picture.
popup_up() {
    local w width
    for w in $(xdotool search --onlyvisible --class VantobelPlayTray 2>/dev/null); do
        # Menus and tooltips are override-redirect; the 22-pixel icon is too small.
        xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: no' || continue
        width=$(xwininfo -id "$w" 2>/dev/null | awk '/Width:/ {print $NF}')
        ((${width:-0} >= 100)) && return 0
    done
    return 1
}
echo
echo "demo: waiting up to 60 s for the first notice to pop up ..."
if wait_for 60 popup_up; then
    sleep 3 # the rise takes about a second; let it settle
else
    echo "demo: no pop-up within 60 s (see $home/logs/tray.log); taking the picture anyway"
fi
# Open the tray menu too, so the picture shows it beside the notice.
icon=$(xs_tray_icons VantobelPlayTray | head -n1)
if [[ -n $icon ]]; then
    xdotool mousemove --window "$icon" 11 11 click 3 2>/dev/null
    sleep 1
fi
if ! tray_alive; then
    echo "demo: the tray ended early; its log:" >&2
    tail -n 30 "$home/logs/tray.log" >&2
    exit 1
fi
if ! command -v import >/dev/null || ! import -window root "$shot"; then
    echo "demo: could not save a screenshot (ImageMagick's import is needed)" >&2
    exit 1
fi
# The tray, the player and the service end before the virtual desktop does.
xs_stop
cat <<EOF
demo: done; the programs and the virtual desktop have stopped.
  screenshot      $shot
  program folder  $home
  tray log        $home/logs/tray.log
EOF
