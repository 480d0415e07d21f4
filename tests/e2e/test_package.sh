#!/usr/bin/env bash
# Installing: `cmake --install` lays out the program folder and the desktop files,
# which pass their validators; the .deb that CPack builds passes lintian; installed by
# dpkg into a private root it verifies clean and keeps an edited configuration across a
# reinstall; its program answers --help and --version without a display and runs as an
# ordinary user from the read-only folder: the icon is embedded, a notice is stored
# below $XDG_DATA_HOME and shown, and the tray quits.
. "$(dirname "$0")/e2e-lib.sh"
e2e_init "$1" 280 VantobelPlayTray vantobel-vendor-service
build=$(dirname "$E2E_BUILD_BIN")
e2e_need cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli identify

# --- cmake --install
inst=$XS_DIR/inst
cmake --install "$build" --prefix "$inst" >"$XS_DIR/log/install.log" 2>&1 || e2e_fail "cmake --install failed"
prog=$inst/lib/vantobel-play
for f in VantobelPlayTray Bin/Settings.xml Skin/DefaultSkin.ini Skin/Vantobel.qss "Users/All Users/Info.db" \
    share/man/man1/VantobelPlayTray.1.gz; do
    [[ $f == share/* ]] && f=../../$f
    [[ -s $prog/$f ]] || e2e_fail "not installed: $f"
done
[[ -L $inst/bin/VantobelPlayTray && $(readlink -f "$inst/bin/VantobelPlayTray") == "$(readlink -f "$prog/VantobelPlayTray")" ]] ||
    e2e_fail "bin/VantobelPlayTray is not a link to the program"
stray=$(find "$inst" -name 'VantobelPlay' -o -name 'Update' -o -name 'vantobel-vendor-service' -o -name 'window_gallery' \
    -o -name 'test_*' -o -name 'bench_*')
[[ -z $stray ]] || e2e_fail "demo, test or benchmark files installed: $stray"
! grep -q '127\.0\.0\.1' "$prog/Bin/Settings.xml" || e2e_fail "the installed Settings.xml points at the demo service"
# The configuration lies in the prefix's etc/, the program folder reaches it by a link.
[[ -L $prog/Bin/Settings.xml && $(readlink -f "$prog/Bin/Settings.xml") == "$inst/etc/vantobel-play/Settings.xml" ]] ||
    e2e_fail "Bin/Settings.xml is no link to etc/vantobel-play/Settings.xml: $(ls -l "$prog/Bin")"

desktop=$inst/share/applications/vantobel-play-tray.desktop
desktop-file-validate "$desktop" >"$XS_DIR/log/validate.log" 2>&1 || e2e_fail "desktop-file-validate: $(cat "$XS_DIR/log/validate.log")"
appstreamcli validate --no-net "$inst/share/metainfo/example.vantobel.PlayTray.metainfo.xml" >>"$XS_DIR/log/validate.log" 2>&1 ||
    e2e_fail "appstreamcli validate: $(cat "$XS_DIR/log/validate.log")"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128 256 16@2 24@2 32@2 48@2; do
    png=$inst/share/icons/hicolor/${size%@2}x${size%@2}${size#"${size%@2}"}/apps/$icon.png
    px=${size%@2}
    [[ $size == *@2 ]] && px=$((px * 2))
    [[ $(identify -format '%wx%h' "$png" 2>/dev/null) == "${px}x${px}" ]] || e2e_fail "no ${px}-pixel icon at $png"
done
[[ -s $inst/share/icons/hicolor/scalable/apps/$icon.svg ]] || e2e_fail "no scalable icon"

# --- the .deb
cpack --config "$build/CPackConfig.cmake" -B "$XS_DIR/pkg" >"$XS_DIR/log/cpack.log" 2>&1 || e2e_fail "cpack failed"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$XS_DIR/pkg/vantobel-play-tray_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || e2e_fail "no $(basename "$deb") (found: $(ls "$XS_DIR/pkg"))"
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libsqlite3-0 libpugixml1v5 qt6-translations-l10n qt6-qpa-plugins; do
    grep -q "\b$need\b" <<<"$depends" || e2e_fail "the package does not depend on $need"
done
dpkg-deb -f "$deb" Suggests | grep -q gnome-shell-extension-appindicator ||
    e2e_fail "the package does not suggest GNOME's AppIndicator extension"
lintian --fail-on error "$deb" >"$XS_DIR/log/lintian.log" 2>&1 ||
    e2e_fail "lintian reports errors: $(grep '^E:' "$XS_DIR/log/lintian.log")"

# Installed with dpkg into a private root (its own database; the machine's stays as it
# is): nothing differs from the package, and an edited configuration survives a
# reinstall of the same package.
root=$XS_DIR/root
config=$root/etc/vantobel-play/Settings.xml
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" && touch "$root/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless "$@" </dev/null >>"$XS_DIR/log/dpkg.log" 2>&1; }
dpkg_root -i "$deb" || e2e_fail "dpkg -i failed: $(tail -n 5 "$XS_DIR/log/dpkg.log")"
verify=$(dpkg --root="$root" --verify vantobel-play-tray 2>&1) && [[ -z $verify ]] ||
    e2e_fail "dpkg --verify after install: $verify"
[[ $(readlink "$root/usr/lib/vantobel-play/Bin/Settings.xml") == /etc/vantobel-play/Settings.xml ]] ||
    e2e_fail "the program folder's Bin/Settings.xml does not lead to /etc/vantobel-play/Settings.xml"
sed -i "s|https\?://[^/\"]*|http://127.0.0.1:1|g" "$config"
edited=$(md5sum <"$config")
dpkg_root -i "$deb" || e2e_fail "the reinstall failed: $(tail -n 5 "$XS_DIR/log/dpkg.log")"
[[ $(md5sum <"$config") == "$edited" ]] || e2e_fail "the reinstall replaced the edited $config"
tray=$root/usr/bin/VantobelPlayTray

# --version needs no display and starts nothing.
out=$(env -u DISPLAY "$tray" --version) || e2e_fail "--version did not exit 0"
[[ $out == "VantobelPlayTray $version" ]] || e2e_fail "--version printed '$out'"
# (Only its own names: other tools here may leave folders of theirs.)
! compgen -G "$VANTOBEL_LINK_DIR/VantobelPlayTray*" >/dev/null || e2e_fail "--version left $(ls -A "$VANTOBEL_LINK_DIR")"

# --- the unpacked program, run as an ordinary user who cannot write its folder
e2e_serve user 安装包里的程序 /news/e2e-package 公告 1
# The edited configuration points at the demo service; the program reads it through
# its folder's link, led into the private root.
sed -i "s|http://127.0.0.1:1|http://127.0.0.1:$E2E_PORT|g" "$config"
ln -sfn "$config" "$root/usr/lib/vantobel-play/Bin/Settings.xml"

user=$XS_DIR/user
mkdir -p "$user"/{home,config,data,cache,runtime}
chmod 0700 "$user/runtime"
if [[ $(id -u) == 0 ]]; then
    # root writes anywhere; the program must show what an ordinary user gets.
    chmod o+x "$XS_DIR"
    chown -R nobody:nogroup "$user"
    # The link takes commands only from its own user: /exit is sent as nobody too.
    E2E_AS="setpriv --reuid=nobody --regid=nogroup --clear-groups"
else
    chmod -R a-w "$root"
    trap 'chmod -R u+w "$root" 2>/dev/null; xs_stop' EXIT
fi
export HOME=$user/home XDG_CONFIG_HOME=$user/config XDG_DATA_HOME=$user/data XDG_CACHE_HOME=$user/cache
export XDG_RUNTIME_DIR=$user/runtime VANTOBEL_LINK_DIR=$user/runtime VANTOBEL_TRAY_ONLINE=1
unset VANTOBEL_PLAY_HOME
touch "$XS_DIR/started"
xs_spawn tray ${E2E_AS:-} "$tray" "$(e2e_parent pkguser)"
E2E_TRAY_PID=${XS_PIDS[-1]}
e2e_wait_icon

db=$XDG_DATA_HOME/VantobelPlayTray/Users/pkguser/Info.db
e2e_eventually 30 "the notice to be stored below \$XDG_DATA_HOME" eval '(($(e2e_rows "$db") == 1))'
e2e_eventually 15 "the notice to pop up" e2e_one_popup
popup=$(e2e_managed_windows)
# grep reads the whole icon dump: an early exit would fail the pipe under pipefail.
has_icon() { (($(xprop -id "$popup" _NET_WM_ICON 2>/dev/null | grep -c 'Icon (') >= 1)); }
e2e_check "the pop-up carries the program's icon" has_icon
written=$(find "$root" -newer "$XS_DIR/started")
[[ -z $written ]] || e2e_fail "the program wrote into its installed folder: $written"
e2e_quit_tray
e2e_pass
