#!/usr/bin/env bash
# The checks every StatusNotifierItem host shares: what the host reads from the
# item (tooltip, icon, exported menu) and what its calls do. Sourced by the
# desktop tests after dt_find_item; windows are looked for on $DISPLAY.

dt_tip_normal='Brightsprout培养助手：'
dt_tip_unread='您有未读消息'
dt_tip_offline='（离线）'

dt_look_is_not() {
    local now
    now=$(dt_sni_look) || return 1
    for other in "$@"; do
        [[ $now != "$other" ]] || return 1
    done
}

# dt_check_item_looks DB: normal look and tooltip with one unread notice (the one
# the service hands out), the unread look once a second unread one is there.
dt_check_item_looks() {
    local db=$1
    one_row() { [[ $(e2e_sql "$db" "select count(*) from HistoryNews where Status=0") == 1 ]]; }
    e2e_eventually 30 "the notice to be stored" one_row
    e2e_eventually 10 "the normal tooltip on the item" dt_sni_tip_has "$dt_tip_normal"
    e2e_check "no unread tooltip with one unread notice" eval '! dt_sni_tip_has "$dt_tip_unread"'
    DT_LOOK_NORMAL=$(dt_sni_look) || e2e_fail "the item has no icon pixels"
    e2e_sql "$db" "insert into HistoryNews (TypeStr,Title,UrlStr,Brief,AddTime,SNo,PhotoPath,Status)
        values ('公告','second','http://127.0.0.1/2','b','2026-03-01 09:00:00','11260301090001111','',0)"
    e2e_eventually 20 "the unread tooltip on the item" dt_sni_tip_has "$dt_tip_unread"
    e2e_eventually 10 "the unread look on the item" dt_look_is_not "$DT_LOOK_NORMAL"
    DT_LOOK_UNREAD=$(dt_sni_look)
}

# dt_check_offline_look USER_COMMAND: a tray started offline shows the third look.
dt_check_offline_look() {
    VANTOBEL_TRAY_ONLINE=0 e2e_tray "$1"
    e2e_eventually 20 "the offline tray's item to register" dt_find_item "$E2E_TRAY_PID"
    e2e_eventually 10 "the offline tooltip on the item" dt_sni_tip_has "$dt_tip_offline"
    e2e_eventually 10 "the offline look on the item" dt_look_is_not "$DT_LOOK_NORMAL" "$DT_LOOK_UNREAD"
    e2e_quit_tray
}

dt_window_named() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
dt_player_log_has() { grep -qF -- "$1" "$VANTOBEL_PLAYER_LOG"; }

# The tray's menus on screen: override-redirect windows that are not tooltips.
dt_menus() {
    local w
    for w in $(e2e_tray_windows); do
        e2e_is_override_redirect "$w" || continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP && continue
        echo "$w"
    done
}
dt_menu_open() { [[ -n $(dt_menus) ]]; }

# dt_check_item_clicks PARENT_FIELDS: Activate opens the parent player, ContextMenu
# opens the menu, and each item of the exported menu does its work.
dt_check_item_clicks() {
    local fields=$1 label
    e2e_check "no menu before the context request" eval '! dt_menu_open'
    dt_sni_call ContextMenu >/dev/null || e2e_fail "ContextMenu was refused"
    # Asked before the player starts: on sway's headless seat, with a Wayland window
    # focused, the menu on XWayland was seen to close again at once.
    e2e_eventually 10 "ContextMenu to open the tray menu" dt_menu_open

    dt_sni_call Activate >/dev/null || e2e_fail "Activate was refused"
    e2e_eventually 20 "Activate to start the player with /U" dt_player_log_has "/U|||$fields"
    e2e_eventually 15 "the started player to listen" test -S "$XDG_RUNTIME_DIR/VantobelPlay|VantobelPlayDDEForm"

    local items
    items=$(dt_menu_items) || e2e_fail "the item exports no menu (Menu: $(dt_sni_prop Menu))"
    for label in 关于我们 升级更新 系统设置 儿歌播放器控制台 Brightsprout培养计划 Vantobel胎教/儿歌播放器 \
        Vantobel儿歌播放器 Vantobel胎教/育儿播放器 消息盒 '家务中心 (URL)'; do
        grep -qF -- " $label" <<<"$items" || e2e_fail "the exported menu has no item '$label': $(tr '\n' ';' <<<"$items")"
    done
    grep -q ' 退出' <<<"$items" || e2e_fail "the exported menu has no quit item"

    dt_menu_click 儿歌播放器控制台 || e2e_fail "no console item to click"
    e2e_eventually 10 "the console item to reach the player" dt_player_log_has /PLAYSETTINGS
    dt_menu_click Vantobel儿歌播放器 || e2e_fail "no baby player item to click"
    e2e_eventually 10 "the baby player item to reach the player" dt_player_log_has "/B|||"
    dt_menu_click '家务中心 (URL)' || e2e_fail "no web home item to click"
    e2e_eventually 10 "the web home item to open the browser" test -s "$XS_DIR/browser.log"
    dt_menu_click 升级更新 || e2e_fail "no update item to click"
    e2e_eventually 15 "the update item to start the updater" test -s "$VANTOBEL_UPDATER_LOG"
    dt_menu_click 关于我们 || e2e_fail "no about item to click"
    e2e_eventually 10 "the about box" dt_window_named '关于 .*'
    dt_menu_click 系统设置 || e2e_fail "no settings item to click"
    e2e_eventually 10 "the settings dialog" dt_window_named 系统设置
    dt_menu_click 消息盒 || e2e_fail "no message box item to click"
    e2e_eventually 10 "the message box" dt_window_named 我的消息盒子
    label=$(grep -o ' 退出.*' <<<"$items" | head -n1 | sed 's/^ //')
    dt_menu_click "$label" || e2e_fail "no quit item to click"
    e2e_eventually 10 "the quit item to ask first" dt_window_named '退出程序？'
}
