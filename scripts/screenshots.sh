#!/usr/bin/env bash
# Regenerates the README's pictures (docs/images/*.png) from the real program with
# its shipped skin, on a throw-away desktop (Xvfb, openbox, trayer), reaching every
# window the way a user does: through the tray menu.
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
# Needs a build (make build) and the test desktop's tools (scripts/install-deps.sh).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" 2>/dev/null && pwd) || {
    echo "screenshots: no build folder ${1:-build}; run 'make build' first" >&2
    exit 1
}
out=${2:-$root/docs/images}
mkdir -p "$out"
out=$(cd "$out" && pwd)

. "$root/tests/e2e/e2e-lib.sh"
E2E_NAME=screenshots
export VANTOBEL_TRAY_TICK_MS=20
e2e_init "$build/bin" 240 VantobelPlayTray VantobelPlay vantobel-vendor-service
command -v import >/dev/null || e2e_fail "ImageMagick's import is needed"

# One notice with a long title and a picture: the pop-up at its fullest.
cat >"$XS_DIR/notices.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<Notices>
  <Notice kind="all">
    <Title>春季亲子音乐会报名开始啦，名额有限先到先得</Title>
    <Url>/news/spring-concert</Url>
    <Pic>/pic/spring-songs.png</Pic>
    <Brief>本周六上午在市少年宫举办亲子音乐会，欢迎带宝宝一起来听儿歌、做游戏。</Brief>
    <TypeStr>公告</TypeStr>
    <CrowdType>全部</CrowdType><Area>全国</Area><TimeAxes>2026-03-01 08:00:00</TimeAxes>
  </Notice>
</Notices>
XML
e2e_service "$XS_DIR/notices.xml"

# A history that fills the message box's first page, some of it read.
db=$(e2e_user_db parent)
kinds=("公告" "广告" "Brightsprout培养计划")
sql="begin;"
for i in $(seq 1 24); do
    sql+="insert into HistoryNews(TypeStr,Title,UrlStr,Brief,AddTime,SNo,PhotoPath,Status) values("
    sql+="'${kinds[i % 3]}','第${i}期育儿小课堂：宝宝的睡眠与儿歌','http://www.vantobel.example/news/${i}',"
    sql+="'让宝宝在熟悉的旋律中入睡，本期介绍十首适合睡前播放的儿歌和三个睡前小游戏。',"
    sql+="'2026-02-$(printf '%02d' "$i") 20:30:00','S$i','',$((i % 4 == 0 ? 0 : 1)));"
done
e2e_sql "$db" "$sql commit;"
[[ $(e2e_sql "$db" "select count(*) from HistoryNews") == 24 ]] || e2e_fail "could not fill the history"

export VANTOBEL_TRAY_ONLINE=1
e2e_tray '/u|||SHOT|||p1|||parent|||secret|||p4|||p5|||p6|||p7'
e2e_wait_icon

# The first managed window of the tray whose title is the given text.
window_titled() {
    local w
    for w in $(e2e_managed_windows); do
        [[ $(xdotool getwindowname "$w" 2>/dev/null) == "$1" ]] && echo "$w" && return 0
    done
    return 1
}
has_window() { window_titled "$1" >/dev/null; }

# shoot WINDOW FILE: the window with its frame, as it is on the screen.
shoot() {
    import -frame -window "$1" "$out/$2" 2>/dev/null || e2e_fail "could not take $2"
    e2e_note "saved $out/$2"
}

# open_by_menu N TITLE: opens the tray menu, chooses its N-th item with the
# keyboard and waits for the window of that title; prints the window. A menu that
# missed the keys (the desktop was still busy) is closed and opened again.
open_by_menu() {
    local attempt
    for attempt in 1 2 3; do
        e2e_click_icon 3
        sleep 1
        xdotool key --delay 100 $(printf 'Down %.0s' $(seq 1 "$1")) Return
        if xs_wait 8 "$2" has_window "$2"; then
            sleep 1
            window_titled "$2"
            return 0
        fi
        xdotool key Escape
        e2e_note "the menu did not open $2 (attempt $attempt)"
    done
    e2e_fail "the tray menu did not open $2"
}

# close_window ID: the window manager's close (Alt+F4), as a user closes it.
close_window() {
    xdotool windowactivate --sync "$1" 2>/dev/null
    xdotool key alt+F4
    e2e_eventually 15 "window $1 to close" eval "! e2e_managed_windows | grep -qx $1"
}

e2e_eventually 60 "the notice to pop up" has_window 公告
popup=$(window_titled 公告)
sleep 3 # the rise takes about a second, and the picture arrives
shoot "$popup" popup.png

# The whole desktop: the menu at the top right, the notice at the bottom right.
e2e_click_icon 3
sleep 1
import -window root "$out/demo.png" 2>/dev/null || e2e_fail "could not take demo.png"
e2e_note "saved $out/demo.png"
xdotool key Escape
sleep 0.5

# The pop-up sinks away on the user's close; the others are shown alone.
close_window "$popup"

settings=$(open_by_menu 3 系统设置)
shoot "$settings" settings.png
close_window "$settings"

about=$(open_by_menu 1 "关于 VantobelPlayTray")
shoot "$about" about.png
close_window "$about"

box=$(open_by_menu 6 我的消息盒子)
shoot "$box" messagebox.png
close_window "$box"

e2e_quit_tray
e2e_note "pictures are in $out"
exit 0
